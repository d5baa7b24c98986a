#include "batch/BatchOptions.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "batch/HelpText.h"
#include "batch/UsageError.h"

namespace kelvory {
namespace {

using Kind = BatchSource::Kind;
using Action = BatchOptions::Action;

struct GoodCase {
  std::vector<std::string> args;
  Action action;
  std::string dest;
  int jobs;
  std::vector<BatchSource> sources;
};

TEST(BatchOptions, AcceptedCommandLinesKeepSourcesInOrder) {
  const std::vector<GoodCase> cases = {
      {{"a.tif"}, Action::Build, "", 0, {{Kind::Path, "a.tif"}}},
      {{"--dest", "out", "--jobs", "3", "a.tif", "b.tif"}, Action::Build, "out", 3,
       {{Kind::Path, "a.tif"}, {Kind::Path, "b.tif"}}},
      {{"--dest=out", "--jobs=2", "a.tif"}, Action::Build, "out", 2, {{Kind::Path, "a.tif"}}},
      {{"-d", "out", "-j", "1", "-l", "x.txt"}, Action::Build, "out", 1, {{Kind::ListFile, "x.txt"}}},
      {{"a.tif", "-j", "2", "b.tif", "-d", "--dest-like"}, Action::Build, "--dest-like", 2,
       {{Kind::Path, "a.tif"}, {Kind::Path, "b.tif"}}},
      // Paths and list files interleave in command-line order.
      {{"a.tif", "--list", "x.txt", "b.tif", "--list=y.txt"}, Action::Build, "", 0,
       {{Kind::Path, "a.tif"}, {Kind::ListFile, "x.txt"}, {Kind::Path, "b.tif"},
        {Kind::ListFile, "y.txt"}}},
      // After "--" a word that looks like an option is a file name; so is "-".
      {{"--", "--jobs", "-x.tif"}, Action::Build, "", 0,
       {{Kind::Path, "--jobs"}, {Kind::Path, "-x.tif"}}},
      {{"-"}, Action::Build, "", 0, {{Kind::Path, "-"}}},
      // An option value may look like an option, and a path may hold '='.
      {{"--dest", "-odd", "a=b.tif"}, Action::Build, "-odd", 0, {{Kind::Path, "a=b.tif"}}},
      {{"--help"}, Action::Help, "", 0, {}},
      {{"-h", "a.tif"}, Action::Help, "", 0, {{Kind::Path, "a.tif"}}},
      {{"--version"}, Action::Version, "", 0, {}},
      {{"--version", "--help"}, Action::Help, "", 0, {}},
      {{"--jobs", "256", "a"}, Action::Build, "", 256, {{Kind::Path, "a"}}},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const BatchOptions options = ParseArguments(c.args);
    EXPECT_EQ(options.action, c.action);
    EXPECT_EQ(options.destFolder, c.dest);
    EXPECT_EQ(options.jobs, c.jobs);
    EXPECT_EQ(options.sources, c.sources);
  }
}

TEST(BatchOptions, UnusableCommandLinesSayWhy) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no files given"},
      {{"--jobs", "2"}, "no files given"},
      {{"--frobnicate", "a"}, "unknown option '--frobnicate'"},
      {{"-x", "a"}, "unknown option '-x'"},
      {{"--dest=x=y", "--dest", "z", "a"}, "--dest may be given only once"},
      {{"a", "--dest"}, "--dest needs a value"},
      {{"--dest=", "a"}, "--dest needs a folder"},
      {{"a", "--list"}, "--list needs a value"},
      {{"--list", "", "a"}, "--list needs a file"},
      {{"--jobs", "0", "a"}, "--jobs needs a whole number from 1 to 256, not '0'"},
      {{"--jobs", "-1", "a"}, "--jobs needs a whole number from 1 to 256, not '-1'"},
      {{"--jobs", "257", "a"}, "--jobs needs a whole number from 1 to 256, not '257'"},
      {{"--jobs", "2x", "a"}, "--jobs needs a whole number from 1 to 256, not '2x'"},
      {{"--jobs", " 2", "a"}, "--jobs needs a whole number from 1 to 256, not ' 2'"},
      {{"--jobs=", "a"}, "--jobs needs a whole number from 1 to 256, not ''"},
      {{"--jobs", "99999999999999999999", "a"},
       "--jobs needs a whole number from 1 to 256, not '99999999999999999999'"},
      {{"-j", "2", "-j", "3", "a"}, "--jobs may be given only once"},
      // Short forms share their long form's rules, and take their value as the next word.
      {{"-d", "x", "--dest", "y", "a"}, "--dest may be given only once"},
      {{"a", "-d"}, "-d needs a value"},
      {{"-d", "", "a"}, "--dest needs a folder"},
      {{"a", "-j"}, "-j needs a value"},
      {{"-j", "0", "a"}, "--jobs needs a whole number from 1 to 256, not '0'"},
      {{"-j4", "a"}, "unknown option '-j4'"},
      {{"-j=4", "a"}, "unknown option '-j=4'"},
      {{"--help=yes"}, "--help takes no value"},
      {{"--json", "--events", "a"}, "--json and --events are two forms of one output: give one of them"},
      {{"-r", "avg", "a"},
       "unknown resampling method 'avg' (known: nearest, average, bilinear, cubic, cubicspline, lanczos, gauss, mode, "
       "rms)"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    try {
      ParseArguments(args);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}

TEST(BatchOptions, UsageErrorsSpeakTheUsersLanguageAndMethodsTakeAnyLetterCase) {
  EXPECT_EQ(UsageError(UsageCode::OnlyOnce, {"--dest"}).Text(Language::Russian), "ключ --dest можно указать только один раз");
  EXPECT_EQ(UsageError(UsageCode::OnlyOnce, {"--dest"}).Text(Language::English), "--dest may be given only once");
  EXPECT_EQ(ParseArguments({"-r", "AVERAGE", "a"}).resampling, Resampling::Average);
  EXPECT_EQ(ParseArguments({"--resampling=Nearest", "a"}).resampling, Resampling::Nearest);
}

// The help names each option the command knows, the same ones in both languages.
TEST(BatchOptions, BothHelpTextsNameTheOptionsTheParserKnows) {
  const auto options = [](const std::string& text) {
    std::set<std::string> names;
    const std::regex option(R"((?:^|[ ,])(--[a-z-]+|-[a-z])\b)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
      names.insert((*it)[1]);
    return names;
  };
  const std::set<std::string> english = options(HelpText(Language::English));
  EXPECT_EQ(options(HelpText(Language::Russian)), english);
  EXPECT_GE(english.size(), 24u);
  for (const std::string& name : english) {
    try {
      ParseArguments({name, "1/2", "a.tif"});
    } catch (const UsageError& error) {
      EXPECT_NE(error.Code(), UsageCode::UnknownOption) << name;
    }
  }
}

}  // namespace
}  // namespace kelvory
