#include "batch/BatchOptions.h"

#include <optional>

#include "platform/Program.h"
#include "platform/StopSignals.h"
#include "pyramids/ToolCommand.h"

#include <charconv>

namespace kelvory {
namespace {

int ParseJobs(const std::string& text) {
  int value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (text.empty() || error != std::errc() || end != last || value < 1 || value > kMaxJobs) {
    throw UsageError("--jobs needs a whole number from 1 to " + std::to_string(kMaxJobs) +
                     ", not '" + text + "'");
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

BatchOptions ParseArguments(const std::vector<std::string>& args) {
  BatchOptions options;
  bool destGiven = false;
  bool jobsGiven = false;
  bool resamplingGiven = false;
  bool shardGiven = false;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
      options.sources.push_back({BatchSource::Kind::Path, word});
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }

    const OptionWord option = SplitOption(word);
    auto takeValue = [&]() -> std::string {
      if (option.hasInlineValue) return option.inlineValue;
      if (i + 1 >= args.size()) throw UsageError(option.name + " needs a value");
      return args[++i];
    };
    auto refuseValue = [&]() {
      if (option.hasInlineValue) throw UsageError(option.name + " takes no value");
    };

    if (option.name == "--help" || option.name == "-h") {
      refuseValue();
      options.action = BatchOptions::Action::Help;
    } else if (option.name == "--version") {
      refuseValue();
      if (options.action != BatchOptions::Action::Help) options.action = BatchOptions::Action::Version;
    } else if (option.name == "--dest" || option.name == "-d") {
      if (destGiven) throw UsageError("--dest may be given only once");
      options.destFolder = takeValue();
      if (options.destFolder.empty()) throw UsageError("--dest needs a folder");
      destGiven = true;
    } else if (option.name == "--jobs" || option.name == "-j") {
      if (jobsGiven) throw UsageError("--jobs may be given only once");
      options.jobs = ParseJobs(takeValue());
      jobsGiven = true;
    } else if (option.name == "--resampling" || option.name == "-r") {
      if (resamplingGiven) throw UsageError("--resampling may be given only once");
      const std::string name = takeValue();
      const std::optional<Resampling> method = ResamplingNamed(name);
      if (!method) {
        std::string known;
        for (const Resampling each : kResamplingMethods) known += std::string(known.empty() ? "" : ", ") + GdalName(each);
        throw UsageError("unknown resampling method '" + name + "' (known: " + known + ")");
      }
      options.resampling = *method;
      resamplingGiven = true;
    } else if (option.name == "--shard") {
      if (shardGiven) throw UsageError("--shard may be given only once");
      options.shard = ParseShard(takeValue());
      shardGiven = true;
    } else if (option.name == "--json") {
      refuseValue();
      options.json = true;
    } else if (option.name == "--classic") {
      refuseValue();
      options.classic = true;
    } else if (option.name == "--list" || option.name == "-l") {
      const std::string listFile = takeValue();
      if (listFile.empty()) throw UsageError("--list needs a file");
      options.sources.push_back({BatchSource::Kind::ListFile, listFile});
    } else {
      throw UsageError("unknown option '" + option.name + "'");
    }
  }

  if (options.action == BatchOptions::Action::Build && options.sources.empty()) {
    throw UsageError("no files given");
  }
  return options;
}

std::string UsageText() {
  return std::string(
             "Usage: kelvory-batch [--dest DIR] [--jobs N] [-r METHOD] [--classic] [--shard K/N] [--json]\n"
             "                    [--list FILE]... [PATH]...\n") +
         "Builds the overview pyramids of TIFF files with " + BundledToolPath({}) + " beside the\n"
         "program (or, when there is none, the " + platform::ExecutableName("gdaladdo") +
         " on the PATH). A PATH that is\n"
         "a folder adds every .tif/.tiff file below it.\n" +
         "\n"
         "  -d, --dest DIR   copy each file into DIR and build there; the sources stay\n"
         "                   untouched (default: update each file in place, safely,\n"
         "                   through a temporary copy); files found below a folder\n"
         "                   keep their subfolders there\n"
         "  -j, --jobs N     run at most N tool processes at once (default: one per\n"
         "                   processor)\n"
         "  -l, --list FILE  add the paths of a list file, one per line (may be repeated);\n"
         "                   relative lines are taken from the list file's folder\n"
         "  -r, --resampling METHOD\n"
         "                   how gdaladdo computes the new levels: nearest (default),\n"
         "                   average, bilinear, cubic, cubicspline, lanczos, gauss, mode\n"
         "                   or rms; imagery wants average or cubic, classes nearest or mode\n"
         "      --classic    read only classic little-endian TIFF of the original image\n"
         "                   kinds (default: also BigTIFF, big-endian and every sample\n"
         "                   type GDAL reads)\n"
         "      --shard K/N  take only share K of N (1 <= K <= N) of the files, split by\n"
         "                   path: N commands with the same arguments take each file once\n"
         "      --json       one JSON object per file on standard output instead of the\n"
         "                   text lines\n"
         "  -h, --help       show this help and exit\n"
         "      --version    show the version and the gdaladdo used, and exit\n"
         "\n"
         "Files are taken in order; empty lines and repeated paths are skipped.\n"
         "One line per file: done, failed (with the reason), not found, or busy (another\n"
         "process, here or on another host, was building it: it is left untouched).\n"
         "Levels a file already has are kept; only the missing ones are built.\n"
         "Exit status: 0 all done, 1 some failed, not found or busy, 2 usage error or no tool,\n"
         "130 interrupted by " + platform::StopRequestNames() + "\n"
         "(files already done keep their new levels; every other file is left as it was).\n";
}

}  // namespace kelvory
