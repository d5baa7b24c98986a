// Builds that append levels, cut short by a kill or a failure at every step, and what
// recovery makes of them; recovery beside files that are not as the build left them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "AppendLinkFixture.h"
#include "platform/FileClaim.h"
#include "pyramids/AppendLink.h"
#include "pyramids/AppendRecovery.h"

namespace kelvory {
namespace {

using test::Entries;
using test::MakeNoise;
using test::Quoted;
using test::ReadBytes;
using test::RunChild;
using test::Scratch;
using test::Sh;
using test::TwoFactors;
using test::WriteBytes;
namespace fs = std::filesystem;

// A folder with one file of a kind, its bytes, and the bytes of its whole result.
struct Built {
  std::string folder;
  std::string file;
  std::string original;
  std::string whole;
};

Built MakeKind(const Scratch& s, const std::string& name, const std::string& make, const std::string& resampling) {
  Built built;
  built.folder = s.Data() + name + "/";
  built.file = built.folder + "file.tif";
  fs::create_directories(built.folder);
  EXPECT_TRUE(Sh("cd " + Quoted(s.Data()) + " && " + make + "kind.tif && mv kind.tif " + Quoted(built.file)));
  built.original = ReadBytes(built.file);
  EXPECT_EQ(RunChild(built.file, "none", resampling, TwoFactors), 0);
  built.whole = ReadBytes(built.file);
  WriteBytes(built.file, built.original);
  return built;
}

// Writes bytes of the journal's new and old link mixed at its place, as a crash in the
// middle of the write may leave them: the first half from one, the rest from the other.
void TearLink(const std::string& file, bool newFirst) {
  const std::optional<AppendJournal> journal = ReadJournal(JournalOf(file));
  ASSERT_TRUE(journal.has_value());
  std::vector<std::uint8_t> torn = newFirst ? journal->NewLink : journal->OldLink;
  const std::vector<std::uint8_t>& rest = newFirst ? journal->OldLink : journal->NewLink;
  std::copy(rest.begin() + static_cast<std::ptrdiff_t>(rest.size() / 2), rest.end(),
            torn.begin() + static_cast<std::ptrdiff_t>(torn.size() / 2));
  std::string bytes = ReadBytes(file);
  std::copy(torn.begin(), torn.end(), bytes.begin() + static_cast<std::ptrdiff_t>(journal->LinkPlace));
  std::fstream(file, std::ios::binary | std::ios::in | std::ios::out).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// True when the file holds result, whose marker bytes after the original's end are
// random on every build.
bool HoldsResult(const std::string& file, const Built& kind, bool whole) {
  std::string bytes = ReadBytes(file);
  if (!whole) return bytes == kind.original;
  std::string expected = kind.whole;
  if (bytes.size() != expected.size() || bytes.size() < kind.original.size() + MarkerSize) return false;
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(kind.original.size()), MarkerSize, '\0');
  std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(kind.original.size()), MarkerSize, '\0');
  return bytes == expected;
}

// The folder's entries with a set-aside journal's time left out of its name.
std::vector<std::string> EntriesNamed(const std::string& folder) {
  std::vector<std::string> names = Entries(folder);
  for (std::string& name : names) {
    const std::size_t kept = name.find(".kept-");
    if (kept != std::string::npos) name.resize(kept + 5);
  }
  return names;
}

void RewriteJournal(const std::string& file, const std::function<void(AppendJournal&)>& edit) {
  std::optional<AppendJournal> journal = ReadJournal(JournalOf(file));
  ASSERT_TRUE(journal.has_value());
  edit(*journal);
  fs::remove(JournalOf(file));
  WriteJournal(JournalOf(file), *journal);
}

TEST(AppendRecovery, AJournalReadsBackWholeOrNotAtAll) {
  const AppendJournal journal{{2049, 131},     1081058, 8, 0x0123456789abcdefu, 178, {0, 0, 0, 0}, {0xe8, 0x7e, 0x10, 0},
                              NewMarker(),     {-5, 1765432100123456789}};
  const std::string text = FormatJournal(journal);
  EXPECT_EQ(ParseJournal(text), journal);
  for (std::size_t length = 0; length < text.size(); ++length) EXPECT_FALSE(ParseJournal(text.substr(0, length)));
  std::string changed = text;
  changed[changed.find("length ") + 7] ^= 1;
  EXPECT_FALSE(ParseJournal(changed));
}

TEST(AppendRecovery, ABuildKilledAnywhereEndsAsTheOriginalBytesOrTheWholeResult) {
  struct Stop {
    const char* where;
    RecoveryOutcome recovered;
    bool whole;
    int tear = 0;  // 1: new bytes first, 2: old bytes first
  };
  const std::vector<Stop> stops = {
      {"begun", RecoveryOutcome::Obsolete, false},
      {"tool", RecoveryOutcome::Obsolete, false},
      {"between", RecoveryOutcome::Obsolete, false},
      {"Marker", RecoveryOutcome::Obsolete, false},
      {"SyncMarker", RecoveryOutcome::Undone, false},
      {"Append", RecoveryOutcome::Undone, false},
      {"SyncAppend", RecoveryOutcome::Undone, false},
      {"Link", RecoveryOutcome::Undone, false},
      {"Link", RecoveryOutcome::Undone, false, 1},
      {"Link", RecoveryOutcome::Undone, false, 2},
      {"SyncLink", RecoveryOutcome::Completed, true},
      {"RemoveWorkFiles", RecoveryOutcome::Completed, true},
      {"RemoveJournal", RecoveryOutcome::Completed, true},
  };
  Scratch s;
  MakeNoise(s.Data(), 1);
  MakeNoise(s.Data(), 3);
  // One run of the tool, and two (levels, then the mask's).
  const Built kinds[] = {MakeKind(s, "rgb", test::Rgb + "-co COMPRESS=LZW -co TILED=YES ", "average"),
                         MakeKind(s, "masked", test::Masked, "")};
  const std::string methods[] = {"average", ""};
  int kills = 0;
  for (std::size_t k = 0; k < std::size(kinds); ++k) {
    const Built& kind = kinds[k];
    for (const Stop& stop : stops) {
      // A kind with one run has no point between runs: it runs to its end.
      if (std::string(stop.where) == "between" && methods[k] == "average") continue;
      SCOPED_TRACE(kind.folder + " " + stop.where + " " + std::to_string(stop.tear));
      WriteBytes(kind.file, kind.original);
      EXPECT_NE(RunChild(kind.file, stop.where, methods[k], TwoFactors), 0);
      ++kills;
      if (stop.tear != 0) TearLink(kind.file, stop.tear == 1);
      const auto before = fs::last_write_time(kind.file);
      EXPECT_EQ(RecoverAppendLink(kind.file).Outcome, stop.recovered);
      EXPECT_TRUE(HoldsResult(kind.file, kind, stop.whole));
      // Undone, the file has its times from before the build again.
      if (!stop.whole) {
        EXPECT_LE(fs::last_write_time(kind.file), before);
      }
      EXPECT_EQ(Entries(kind.folder), std::vector<std::string>{"file.tif"});
    }
  }
  std::printf("%d builds killed, each recovered\n", kills);
}

TEST(AppendRecovery, AMergeStepThatFailsPutsTheFileBackAtOnce) {
  Scratch s;
  MakeNoise(s.Data(), 1);
  const Built kind = MakeKind(s, "masked", test::Masked, "");
  for (const char* step : {"throw:Marker", "throw:Append", "throw:SyncAppend", "throw:Link", "throw:SyncLink"}) {
    SCOPED_TRACE(step);
    WriteBytes(kind.file, kind.original);
    EXPECT_EQ(RunChild(kind.file, step, "", TwoFactors), 3);
    EXPECT_TRUE(ReadBytes(kind.file) == kind.original);
    EXPECT_EQ(Entries(kind.folder), std::vector<std::string>{"file.tif"});
  }
}

TEST(AppendRecovery, WhatIsNotAsTheBuildLeftItIsLeftAlone) {
  struct Case {
    const char* name;
    const char* stop;
    std::function<void(const Built&)> change;
    RecoveryOutcome recovered;
    std::vector<std::string> left;
    bool originalBytes;  // else the bytes the change left
  };
  const std::string kept = ".file.tif.kelvory-journal.kept";
  const auto holdClaim = [](const Built& kind) {
    std::error_code error;
    const platform::FileClaim claim = platform::FileClaim::Take(kind.file, error);
    ASSERT_FALSE(error);
    // Another build holds the file: its journal and work folder are its own.
    EXPECT_EQ(RecoverAppendLinks(kind.folder), 0);
    EXPECT_EQ(Entries(kind.folder).size(), 3u);
  };
  // A newer export of the same raster copied over the file: same inode, same header and
  // tags, longer.
  const auto newerExport = [](const Built& kind) {
    std::string newer = kind.original + std::string(4096, 'n');
    std::ofstream(kind.file, std::ios::binary | std::ios::trunc).write(newer.data(), static_cast<std::streamsize>(newer.size()));
  };
  const std::vector<Case> cases = {
      {"claimed meanwhile", "Append", holdClaim, RecoveryOutcome::Undone, {"file.tif"}, true},
      {"replaced", "Append",
       [](const Built& kind) {
         WriteBytes(kind.folder + "new.tif", kind.original);
         fs::rename(kind.folder + "new.tif", kind.file);
       },
       RecoveryOutcome::Obsolete, {"file.tif"}, true},
      {"newer export over it during the tool", "tool", newerExport, RecoveryOutcome::LeftAlone, {kept, "file.tif"}, false},
      {"newer export over it during the append", "SyncAppend", newerExport, RecoveryOutcome::LeftAlone,
       {kept, "file.tif"}, false},
      {"header rewritten", "Append",
       [](const Built& kind) { std::fstream(kind.file, std::ios::binary | std::ios::in | std::ios::out).seekp(5).put('\x7f'); },
       RecoveryOutcome::LeftAlone, {kept, "file.tif"}, false},
      {"cut shorter", "Append", [](const Built& kind) { fs::resize_file(kind.file, kind.original.size() - 1); },
       RecoveryOutcome::LeftAlone, {kept, "file.tif"}, false},
      {"length in the journal edited", "SyncAppend",
       [](const Built& kind) { RewriteJournal(kind.file, [](AppendJournal& j) { j.OriginalLength -= 64; }); },
       RecoveryOutcome::LeftAlone, {kept, "file.tif"}, false},
      {"removed", "Append", [](const Built& kind) { fs::remove(kind.file); }, RecoveryOutcome::Obsolete, {}, false},
      {"journal torn, a user's own levels made", "begun",
       [](const Built& kind) {
         fs::resize_file(JournalOf(kind.file), fs::file_size(JournalOf(kind.file)) / 2);
         WriteBytes(kind.file + ".ovr", "a user's levels");
       },
       RecoveryOutcome::LeftAlone, {kept, "file.tif", "file.tif.ovr"}, true},
      {"a user's own levels made after a kill", "tool",
       [](const Built& kind) { WriteBytes(kind.file + ".ovr", "a user's levels"); }, RecoveryOutcome::Obsolete,
       {"file.tif", "file.tif.ovr"}, true},
  };
  Scratch s;
  MakeNoise(s.Data(), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Built kind = MakeKind(s, "grey", test::Grey + "-co TILED=YES -co COMPRESS=LZW ", "");
    EXPECT_NE(RunChild(kind.file, c.stop, "", TwoFactors), 0);
    c.change(kind);
    const std::string changed = fs::exists(kind.file) ? ReadBytes(kind.file) : "";
    EXPECT_EQ(RecoverAppendLink(kind.file).Outcome, c.recovered);
    EXPECT_EQ(EntriesNamed(kind.folder), c.left);
    if (fs::exists(kind.file)) {
      EXPECT_TRUE(ReadBytes(kind.file) == (c.originalBytes ? kind.original : changed));
    }
    fs::remove_all(kind.folder);
  }
}

// Without its journal a build's work is never taken for levels: the work folder goes,
// and the file reads as it was.
TEST(AppendRecovery, AJournalPlantedOrDeletedChangesNothing) {
  Scratch s;
  MakeNoise(s.Data(), 1);
  const Built kind = MakeKind(s, "grey", test::Grey + "-co TILED=YES -co COMPRESS=LZW ", "");
  const std::string checksums = test::Checksums(kind.file, 0);
  EXPECT_NE(RunChild(kind.file, "SyncAppend", "", TwoFactors), 0);
  fs::remove(JournalOf(kind.file));
  const std::string appended = ReadBytes(kind.file);
  RecoverAppendLinks(kind.folder);
  EXPECT_EQ(Entries(kind.folder), std::vector<std::string>{"file.tif"});
  EXPECT_TRUE(ReadBytes(kind.file) == appended);
  EXPECT_EQ(test::Checksums(kind.file, 0), checksums);

  // A journal for another file, with a valid check line, naming this file's identity.
  WriteBytes(kind.file, kind.original);
  WriteBytes(kind.folder + "b.tif", kind.original);
  WriteBytes(kind.folder + "b.tif.ovr", "b's own levels");
  EXPECT_NE(RunChild(kind.file, "begun", "", TwoFactors), 0);
  fs::rename(JournalOf(kind.file), JournalOf(kind.folder + "b.tif"));
  fs::remove_all(kind.folder + ".file.tif.kelvory-build");
  RecoverAppendLinks(kind.folder);
  EXPECT_EQ(ReadBytes(kind.folder + "b.tif.ovr"), "b's own levels");
  EXPECT_TRUE(ReadBytes(kind.folder + "b.tif") == kind.original);
}

}  // namespace
}  // namespace kelvory
