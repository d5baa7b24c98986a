#include "batch/BatchOptions.h"

#include <optional>

#include "pyramids/ToolCommand.h"

#include <charconv>
#include <set>

namespace kelvory {
namespace {

int ParseJobs(const std::string& text) {
  int value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (text.empty() || error != std::errc() || end != last || value < 1 || value > kMaxJobs) {
    throw UsageError(UsageCode::BadJobs, {std::to_string(kMaxJobs), text});
  }
  return value;
}

// Splits "--name=value"; a short or valueless option gives an empty inline value.
struct OptionWord {
  std::string name;
  std::string inlineValue;
  bool hasInlineValue = false;
};

OptionWord SplitOption(const std::string& word) {
  OptionWord option{word, {}, false};
  if (word.rfind("--", 0) == 0) {
    const auto equals = word.find('=');
    if (equals != std::string::npos) {
      option.name = word.substr(0, equals);
      option.inlineValue = word.substr(equals + 1);
      option.hasInlineValue = true;
    }
  }
  return option;
}

}  // namespace

namespace {

// Reads one command line: options in any order, paths and list files in order.
class ArgumentParser {
 public:
  explicit ArgumentParser(const std::vector<std::string>& args) : args_(args) {}

  BatchOptions Parse() {
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& word = args_[i_];
      if (optionsEnded_ || word.empty() || word[0] != '-' || word == "-") {
        options_.sources.push_back({BatchSource::Kind::Path, word});
      } else if (word == "--") {
        optionsEnded_ = true;
      } else {
        option_ = SplitOption(word);
        if (!TakeSwitch() && !TakeValued()) throw UsageError(UsageCode::UnknownOption, {option_.name});
      }
    }
    if (options_.external && !options_.destFolder.empty()) {
      throw UsageError(UsageCode::ExternalWithDest);
    }
    // One output in two forms: a script that names both wants one of them.
    if (options_.json && options_.events) throw UsageError(UsageCode::JsonWithEvents);
    if (options_.action == BatchOptions::Action::Build && options_.sources.empty()) throw UsageError(UsageCode::NoFiles);
    return options_;
  }

 private:
  bool Is(const char* name, const char* shortName = nullptr) const {
    return option_.name == name || (shortName != nullptr && option_.name == shortName);
  }
  std::string TakeValue() {
    if (option_.hasInlineValue) return option_.inlineValue;
    if (i_ + 1 >= args_.size()) throw UsageError(UsageCode::NeedsValue, {option_.name});
    return args_[++i_];
  }
  // An option given twice is most likely a mistake in a script.
  void Once(const std::string& name) {
    if (!given_.insert(name).second) throw UsageError(UsageCode::OnlyOnce, {name});
  }

  // Options without a value; true when the word was one.
  bool TakeSwitch() {
    bool* flag = Is("--json")                  ? &options_.json
                 : Is("--events")              ? &options_.events
                 : Is("--classic")             ? &options_.classic
                 : Is("--force")               ? &options_.force
                 : Is("--external")            ? &options_.external
                 : Is("--cog")                 ? &options_.cog
                 : Is("--dry-run", "-n")       ? &options_.dryRun
                 : Is("--quiet", "-q")         ? &options_.quiet
                                               : nullptr;
    const bool help = Is("--help", "-h");
    const bool version = Is("--version");
    if (flag == nullptr && !help && !version) return false;
    if (option_.hasInlineValue) throw UsageError(UsageCode::TakesNoValue, {option_.name});
    if (flag != nullptr) *flag = true;
    if (help) options_.action = BatchOptions::Action::Help;
    if (version && options_.action != BatchOptions::Action::Help) options_.action = BatchOptions::Action::Version;
    return true;
  }

  // Options with a value; true when the word was one.
  bool TakeValued() {
    if (Is("--dest", "-d")) {
      Once("--dest");
      options_.destFolder = TakeValue();
      if (options_.destFolder.empty()) throw UsageError(UsageCode::NeedsFolder, {"--dest"});
    } else if (Is("--jobs", "-j")) {
      Once("--jobs");
      options_.jobs = ParseJobs(TakeValue());
    } else if (Is("--resampling", "-r")) {
      Once("--resampling");
      options_.resampling = ParseResampling(TakeValue());
    } else if (Is("--shard")) {
      Once("--shard");
      options_.shard = ParseShard(TakeValue());
    } else if (Is("--tmpdir")) {
      Once("--tmpdir");
      options_.tempFolder = TakeValue();
      if (options_.tempFolder.empty()) throw UsageError(UsageCode::NeedsFolder, {"--tmpdir"});
    } else if (Is("--list", "-l")) {
      const std::string listFile = TakeValue();
      if (listFile.empty()) throw UsageError(UsageCode::NeedsFile, {"--list"});
      options_.sources.push_back({BatchSource::Kind::ListFile, listFile});
    } else if (Is("--config")) {
      // GDAL's own spelling: two words after the option.
      if (option_.hasInlineValue || i_ + 2 >= args_.size()) throw UsageError(UsageCode::ConfigNeedsPair);
      const std::string key = args_[++i_];
      const std::string value = args_[++i_];
      if (key.empty() || key.find_first_of("= ") != std::string::npos) {
        throw UsageError(UsageCode::BadConfigKey, {key});
      }
      options_.config.emplace_back(key, value);
    } else {
      return false;
    }
    return true;
  }

  static Resampling ParseResampling(const std::string& name) {
    if (const std::optional<Resampling> method = ResamplingNamed(name)) return *method;
    std::string known;
    for (const Resampling each : kResamplingMethods) known += std::string(known.empty() ? "" : ", ") + GdalName(each);
    throw UsageError(UsageCode::UnknownMethod, {name, known});
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
  OptionWord option_;
  bool optionsEnded_ = false;
  std::set<std::string> given_;
  BatchOptions options_;
};

}  // namespace

BatchOptions ParseArguments(const std::vector<std::string>& args) { return ArgumentParser(args).Parse(); }

}  // namespace kelvory
