// Every state a crash can leave a build that appends levels in: the folder as it is
// before each file-changing step of one real build (a kill there), and, for a power cut,
// each of those with the writes since the last sync lost, partly applied in whole pages,
// or torn. In every state a GDAL reader sees the old file or the new one, and the next
// run's recovery settles it in one go: the old bytes, to be built afresh, or the whole
// result, with nothing of the build's left beside the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AppendLinkFixture.h"
#include "pyramids/AppendLink.h"
#include "pyramids/AppendRecovery.h"

namespace kelvory {
namespace {

using test::Entries;
using test::Quoted;
using test::ReadBytes;
using test::Scratch;
using test::Sh;
using test::WriteBytes;
namespace fs = std::filesystem;

constexpr std::uint64_t Page = 4096;

void Overwrite(const std::string& file, std::uint64_t at, const std::string& bytes) {
  std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(at));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What a power cut can make of writes past `from` that were not synced yet.
struct Loss {
  const char* name;
  std::function<void(const std::string& file, std::uint64_t from)> apply;
};

const std::vector<Loss> UnsyncedTail = {
    {"all lost", [](const std::string& file, std::uint64_t from) { fs::resize_file(file, from); }},
    {"size kept, data lost",
     [](const std::string& file, std::uint64_t from) {
       Overwrite(file, from, std::string(fs::file_size(file) - from, '\0'));
     }},
    {"every other page lost",
     [](const std::string& file, std::uint64_t from) {
       for (std::uint64_t at = (from / Page + 1) * Page; at < fs::file_size(file); at += 2 * Page)
         Overwrite(file, at, std::string(std::min<std::uint64_t>(Page, fs::file_size(file) - at), '\0'));
     }},
    {"cut in a torn page",
     [](const std::string& file, std::uint64_t from) {
       const std::uint64_t end = from + (fs::file_size(file) - from) / 2;
       fs::resize_file(file, end);
       Overwrite(file, end - std::min<std::uint64_t>(end - from, Page / 2),
                 std::string(std::min<std::uint64_t>(end - from, Page / 2), '\0'));
     }},
};

struct Explored {
  std::string name;
  std::string folder;  // the state, as a folder to copy
  std::function<void(const std::string& folder)> loss;
};

class CrashStates : public testing::Test {
 protected:
  // Makes the live folder the state: the file keeps its inode (the journal names it),
  // the rest is copied.
  void Restore(const Explored& state) {
    for (const auto& entry : fs::directory_iterator(live_))
      if (entry.path().filename() != "file.tif") fs::remove_all(entry.path());
    ASSERT_TRUE(Sh("cd " + Quoted(state.folder) + " && for f in .[!.]* *; do [ \"$f\" = file.tif ] || "
                   "[ ! -e \"$f\" ] || cp -a \"$f\" " + Quoted(live_ + "/") + "; done"));
    const std::string bytes = ReadBytes(state.folder + "/file.tif");
    fs::resize_file(live_ + "/file.tif", 0);
    Overwrite(live_ + "/file.tif", 0, bytes);
    if (state.loss) state.loss(live_ + "/");
  }

  std::string live_;
};

TEST_F(CrashStates, EveryStateReadsAsTheOldFileOrTheNewOneAndOneRunSettlesIt) {
  Scratch s;
  test::MakeNoise(s.Data(), 1);
  struct Kind {
    const char* name;
    std::string make;
    std::string resampling;
  };
  const Kind kinds[] = {{"grey", test::Grey + "-co TILED=YES ", "average"}, {"masked", test::Masked, ""}};
  int states = 0;
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    live_ = s.Data() + kind.name;
    const std::string file = live_ + "/file.tif";
    const std::string record = s.Data() + kind.name + "-record";
    fs::create_directories(live_);
    fs::create_directories(record);
    ASSERT_TRUE(Sh("cd " + Quoted(s.Data()) + " && " + kind.make + Quoted(file)));
    const std::string original = ReadBytes(file);
    const std::string oldSums = test::Checksums(file, 2);
    ASSERT_EQ(test::RunChild(file, "record:" + record, kind.resampling, test::TwoFactors), 0);
    const std::string whole = ReadBytes(file);
    const std::string newSums = test::Checksums(file, 2);
    ASSERT_NE(oldSums, newSums);
    const std::uint64_t oldEnd = original.size();

    // The recorded folders, in order, and what a power cut may make of each: the steps
    // name what comes next, so a state holds every write before it, synced or not.
    std::vector<Explored> explored;
    std::map<std::string, std::string> byStep;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(record)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string step = name.substr(3);
      byStep[step] = record + "/" + name;
      explored.push_back({"killed before " + step, record + "/" + name, {}});
    }
    const auto lossAt = [&](const std::string& step, std::uint64_t from, const Loss& loss) {
      explored.push_back({"power cut before " + step + ", " + loss.name, byStep.at(step),
                          [&, from, apply = loss.apply](const std::string& folder) { apply(folder + "file.tif", from); }});
    };
    // The marker, not yet synced; then the levels after the synced marker.
    for (const Loss& loss : UnsyncedTail) lossAt("SyncMarker", oldEnd, loss);
    for (const Loss& loss : UnsyncedTail) lossAt("SyncAppend", oldEnd + MarkerSize, loss);
    // The link, not yet synced, is lost or written: the states before Link and before
    // SyncLink. It lies within one disk sector (the append way takes no file whose
    // link would not), which the disk writes whole.
    // The removals after the link, not yet synced: the journal is back with a linked file.
    explored.push_back({"power cut after the journal's removal", byStep.at("done"), [&](const std::string& folder) {
                          fs::copy_file(byStep.at("RemoveJournal") + "/.file.tif.kelvory-journal",
                                        folder + ".file.tif.kelvory-journal");
                        }});

    for (const Explored& state : explored) {
      SCOPED_TRACE(state.name);
      Restore(state);
      const std::string seen = test::Checksums(file, 2);
      EXPECT_TRUE(seen == oldSums || seen == newSums) << seen;
      // The next run settles the folder before it builds.
      RecoverAppendLinks(live_ + "/");
      EXPECT_EQ(Entries(live_), std::vector<std::string>{"file.tif"});
      std::string bytes = ReadBytes(file);
      const bool isOld = bytes == original;
      if (!isOld) {
        ASSERT_EQ(bytes.size(), whole.size());
        EXPECT_EQ(bytes.substr(0, oldEnd), whole.substr(0, oldEnd));
        EXPECT_EQ(bytes.substr(oldEnd + MarkerSize), whole.substr(oldEnd + MarkerSize));
        EXPECT_EQ(test::Checksums(file, 2), newSums);
      } else {
        // Settled as the old file: one build makes the new one.
        EXPECT_EQ(test::RunChild(file, "none", kind.resampling, test::TwoFactors), 0);
        EXPECT_EQ(test::Checksums(file, 2), newSums);
      }
      ++states;
    }
  }
  std::printf("%d crash states explored, each read as the old file or the new one and settled in one run\n", states);
}

}  // namespace
}  // namespace kelvory
