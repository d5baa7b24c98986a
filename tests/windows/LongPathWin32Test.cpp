// Builds of a file whose path is over 300 characters, past MAX_PATH, with GDAL's own
// gdaladdo.exe (the one the zip carries): in place through a working copy in the
// temporary folder, in place by the append way (the levels built through a second
// name in a work folder beside the file), and into a destination folder as deep. The
// file gets its levels, nothing of the build stays beside it, and no path the build
// reports shows the extended form's "\\?\".
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "WindowsTestSupport.h"
#include "platform/Files.h"
#include "pyramids/BuildRun.h"
#include "pyramids/ReasonText.h"
#include "tiff/TIFFBitmap.h"

namespace kelvory::wintest {
namespace {

// The extended form, as the test makes and reads its files at any length.
std::wstring Extended(const std::string& path) { return LR"(\\?\)" + FromUtf8(path).wstring(); }

void WriteLong(const std::string& path, const std::string& bytes) {
  const HANDLE file = ::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << ::GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ::CloseHandle(file);
}

std::string ReadLong(const std::string& path) {
  const HANDLE file =
      ::CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(::GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  ::CloseHandle(file);
  return bytes;
}

// The names in a folder, hidden ones too, sorted by their bytes.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((Extended(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(fs::path(name)));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

class Settled final : public BuildEvents {
 public:
  void RowSettled(const RowReport& report) override { Rows.push_back(report); }
  std::vector<RowReport> Rows;
};

struct Way {
  const char* Name;
  bool Append;       // in place by the append way, else through a working copy
  bool Destination;  // into a folder as deep as the file's
};

class LongPathWin32 : public testing::TestWithParam<Way> {};

TEST_P(LongPathWin32, BuildsAFileBelowAPathLongerThanMaxPath) {
  const Way& way = GetParam();
  ScratchFolder scratch;
  std::string deep = Utf8(fs::absolute(scratch.Path()).make_preferred());
  while (deep.size() < 300) {
    deep += "\\" + std::string(30, 'd') + " Карты";
    ASSERT_TRUE(::CreateDirectoryW(Extended(deep).c_str(), nullptr)) << ::GetLastError();
  }
  const std::string source = deep + "\\снимок 1.tif";
  const std::string image = GreyTiff();
  WriteLong(source, image);
  // A sidecar, which goes with a copy.
  const std::string worldFile = "1\r\n0\r\n0\r\n-1\r\n0\r\n0\r\n";
  WriteLong(deep + "\\снимок 1.tfw", worldFile);
  // The destination folder is made by the build.
  const std::string destinationFolder = deep + "\\выход";
  const std::string built = way.Destination ? destinationFolder + "\\снимок 1.tif" : source;

  BuildRequest request;
  request.Rows.push_back({source, way.Destination ? destinationFolder : std::string(), {}});
  request.ToolPath = platform::ProgramFolder() + "test-gdal\\gdaladdo.exe";
  // An uncompressed file takes the append way with any resampling but the nearest.
  request.Options.Method = Resampling::Average;
  request.Options.AppendLevelsFrom = way.Append ? 0 : std::numeric_limits<long long>::max();
  Settled events;
  BuildRun run(request, events);
  while (run.Step(100)) {
  }

  ASSERT_EQ(events.Rows.size(), 1u);
  const RowReport& row = events.Rows[0];
  EXPECT_EQ(row.Result, Outcome::Done) << ReasonText(row.Why, Language::English);
  EXPECT_EQ(row.Action, way.Append ? FileAction::Append : FileAction::Build);
  ASSERT_FALSE(row.Factors.empty());
  TTIFFBitmap levels;
  ASSERT_TRUE(levels.LoadFromFile(built));
  EXPECT_EQ(levels.DirectoryCount(), 1 + static_cast<std::int32_t>(row.Factors.size()));
  if (way.Destination) {
    EXPECT_EQ(ReadLong(source), image);
    EXPECT_EQ(ReadLong(destinationFolder + "\\снимок 1.tfw"), worldFile);
  }

  // The working copy went, and with it the append way's journal and work folder; a
  // copy keeps the stamp of what it was made from.
  std::vector<std::string> expected{"снимок 1.tfw", "снимок 1.tif"};
  if (way.Destination) {
    EXPECT_EQ(NamesIn(destinationFolder),
              (std::vector<std::string>{".снимок 1.tif.kelvory-stamp", "снимок 1.tfw", "снимок 1.tif"}));
    expected.insert(expected.begin(), "выход");
  }
  EXPECT_EQ(NamesIn(deep), expected);
  // Where the work was done, as the build reports it: the file's own folder for the
  // append way, the destination's for a copy, the temporary folder else.
  const std::string workingFolder =
      way.Append ? deep + "\\" : way.Destination ? destinationFolder + "\\" : platform::TempFolder();
  EXPECT_EQ(row.WorkingFolder, workingFolder);
  EXPECT_EQ(row.WorkingFolder.find(R"(\\?\)"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Ways, LongPathWin32,
                         testing::Values(Way{"InPlace", false, false}, Way{"InPlaceAppended", true, false},
                                         Way{"IntoDestination", false, true}),
                         [](const testing::TestParamInfo<Way>& way) { return std::string(way.param.Name); });

}  // namespace
}  // namespace kelvory::wintest
