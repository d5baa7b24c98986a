#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "platform/UniqueFd.h"
#include "tests/tiff/TiffImage.h"
#include "tiff/TIFFBitmap.h"
#include "tests/tiff/ReaderFailure.h"

namespace kelvory {
namespace {

using test::Entry;
using test::LongTag;
using test::ShortTag;
using test::TiffImage;

// The message of a failed load, or "" when it succeeded.
std::string Load(TTIFFBitmap& bitmap, const std::vector<std::uint8_t>& bytes) {
  platform::MemoryStream stream(bytes);
  try {
    EXPECT_TRUE(bitmap.LoadFromStream(stream));
    return "";
  } catch (const Exception& e) {
    return test::FailureName(e);
  }
}

std::string LoadAndClose(const std::vector<std::uint8_t>& bytes, std::int32_t* count = nullptr) {
  TTIFFBitmap bitmap;
  const std::string result = Load(bitmap, bytes);
  if (!result.empty()) {
    EXPECT_EQ(bitmap.DirectoryCount(), 0) << "a failed load left directories";
  }
  if (count) *count = bitmap.DirectoryCount();
  return result;
}

// Three 8-bit grey directories of decreasing size, chained 1 -> 2 -> 3.
TiffImage ThreeLevels() {
  TiffImage image;
  const std::uint32_t first = image.Directory(TiffImage::Grey(640, 480));
  const std::uint32_t second = image.Directory(TiffImage::Grey(320, 240));
  const std::uint32_t third = image.Directory({ShortTag(256, 160), ShortTag(257, 120), ShortTag(259, 1), ShortTag(262, 0)});
  image.SetNext(first, second);
  image.SetNext(second, third);
  return image;
}

TEST(BitmapHeader, OnlyLittleEndianClassicTiffIsAccepted) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string expected;
  };
  auto header = [](char a, char b, std::uint16_t version, std::uint32_t first) {
    return TiffImage(first, std::string{a, b}, version).Bytes();
  };
  const std::string Unsupported = test::UnsupportedFileType;
  std::vector<Case> cases = {
      {"big-endian", header('M', 'M', 42, 0), Unsupported},
      {"big-endian version bytes", {'M', 'M', 0, 42, 0, 0, 0, 8}, Unsupported},
      {"BigTIFF", header('I', 'I', 43, 16), Unsupported},
      {"version 41", header('I', 'I', 41, 0), Unsupported},
      {"mixed order", header('I', 'M', 42, 0), Unsupported},
      {"lower case", header('i', 'i', 42, 0), Unsupported},
      {"no directory", header('I', 'I', 42, 0), ""},
  };
  for (std::uint32_t first = 1; first < 8; ++first)
    cases.push_back({"first offset below 8", header('I', 'I', 42, first), ""});
  const auto whole = header('I', 'I', 42, 0);
  for (std::size_t length = 0; length < 8; ++length)
    cases.push_back({"shorter than a header", {whole.begin(), whole.begin() + static_cast<long>(length)}, Unsupported});

  for (const Case& c : cases) {
    std::int32_t count = -1;
    EXPECT_EQ(LoadAndClose(c.bytes, &count), c.expected) << c.name << " (" << c.bytes.size() << " bytes)";
    EXPECT_EQ(count, 0) << c.name;
  }
}

TEST(BitmapHeader, EmptyChainGivesNoImageSize) {
  TTIFFBitmap bitmap;
  ASSERT_EQ(Load(bitmap, TiffImage(7).Bytes()), "");
  std::int32_t width = -7, height = -9;
  EXPECT_FALSE(bitmap.GetImageSize(1, width, height));
  EXPECT_EQ(width, -7);
  EXPECT_EQ(height, -9);
}

TEST(BitmapChain, WalksEveryDirectoryAndAnswersSizesByIndex) {
  const TiffImage image = ThreeLevels();
  platform::MemoryStream stream(image.Bytes());
  TTIFFBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadFromStream(stream));
  ASSERT_EQ(bitmap.DirectoryCount(), 3);

  const std::pair<std::int32_t, std::int32_t> expected[] = {{640, 480}, {320, 240}, {160, 120}};
  for (std::int32_t i = 1; i <= 3; ++i) {
    std::int32_t width = 0, height = 0;
    ASSERT_TRUE(bitmap.GetImageSize(i, width, height));
    EXPECT_EQ(width, expected[i - 1].first);
    EXPECT_EQ(height, expected[i - 1].second);
  }
  for (std::int32_t index : {0, 4, -1, INT_MIN, INT_MAX}) {
    std::int32_t width = 11, height = 12;
    EXPECT_FALSE(bitmap.GetImageSize(index, width, height)) << index;
    EXPECT_EQ(width, 11);
    EXPECT_EQ(height, 12);
  }
}

TEST(BitmapChain, BrokenChainsFailAndLeaveTheBitmapClosed) {
  struct Case {
    const char* name;
    TiffImage image;
    std::string expected;
  };
  std::vector<Case> cases;
  {
    TiffImage image = ThreeLevels();
    image.SetNext(8, 8);
    cases.push_back({"directory points at itself", image, test::StructureError});
  }
  {
    TiffImage image = ThreeLevels();
    const std::uint32_t third = image.Size() - (2 + 4 * 12 + 4);
    image.SetNext(third, 8);
    cases.push_back({"last directory points at the first", image, test::StructureError});
  }
  {
    TiffImage image = ThreeLevels();
    const std::uint32_t third = image.Size() - (2 + 4 * 12 + 4);
    image.SetNext(third, image.Size());
    cases.push_back({"next offset at the end of the file", image, test::ReadError});
  }
  {
    TiffImage image = ThreeLevels();
    image.SetNext(8, 8 + 2 + 12);
    cases.push_back({"next directory starts inside the first", image, test::StructureError});
  }
  {
    // A valid second directory placed just before the first, so short that its own
    // next-offset field is the first directory's entry count.
    TiffImage part;
    part.Directory({ShortTag(259, 1), ShortTag(262, 1)});
    const std::vector<std::uint8_t> body(part.Bytes().begin() + 8, part.Bytes().end() - 4);
    TiffImage image;
    const std::uint32_t second = image.Data(body);
    const std::uint32_t first = image.Directory(TiffImage::Grey(8, 8));
    image.SetFirst(first);
    image.SetNext(first, second);
    cases.push_back({"next directory runs into the first", image, test::StructureError});
  }
  {
    TiffImage image = ThreeLevels();
    image.SetFirst(0xFFFFFFFF);
    cases.push_back({"first offset far past the end", image, test::ReadError});
  }
  {
    TiffImage image;
    const std::uint32_t first = image.Directory(TiffImage::Grey(8, 8));
    const std::uint32_t second = image.Directory(TiffImage::Grey(4, 4));
    const std::uint32_t third = image.Directory({ShortTag(258, 12), ShortTag(259, 1), ShortTag(262, 1)});
    image.SetNext(first, second);
    image.SetNext(second, third);
    cases.push_back({"third directory unsupported", image, test::UnsupportedImageFormat});
  }
  {
    TiffImage image;
    const std::uint32_t first = image.Directory(TiffImage::Grey(8, 8));
    image.SetNext(first, image.Directory({ShortTag(259, 1)}));
    cases.push_back({"second directory without photometric", image, test::StructureError});
  }
  for (const Case& c : cases) EXPECT_EQ(LoadAndClose(c.image.Bytes()), c.expected) << c.name;
}

TEST(BitmapChain, DirectoriesMayShareOneLargeValueBlock) {
  TiffImage image;
  std::vector<std::uint32_t> depths(50000, 8);
  const Entry bits = image.Values(258, test::Short, depths);
  std::uint32_t previous = 0;
  for (int i = 0; i < 200; ++i) {
    const std::uint32_t at = image.Directory({ShortTag(256, 1), ShortTag(257, 1), bits, ShortTag(259, 1), ShortTag(262, 2)});
    if (previous == 0) image.SetFirst(at); else image.SetNext(previous, at);
    previous = at;
  }
  std::int32_t count = 0;
  EXPECT_EQ(LoadAndClose(image.Bytes(), &count), "");
  EXPECT_EQ(count, 200);
}

TEST(BitmapChain, RangeErrorsOfADirectoryAlsoCloseTheBitmap) {
  TiffImage image;
  image.Directory({ShortTag(259, 1), LongTag(262, 0x80000000)});
  platform::MemoryStream stream(image.Bytes());
  TTIFFBitmap bitmap;
  EXPECT_THROW(bitmap.LoadFromStream(stream), ERangeError);
  EXPECT_EQ(bitmap.DirectoryCount(), 0);
}

// Every cut of a valid file short of its full length fails: a short header as an
// unsupported type, anything later as a read error.
TEST(BitmapTruncation, EveryPrefixOfAValidFileFails) {
  std::vector<std::pair<const char*, TiffImage>> layouts;
  {
    TiffImage image;  // values before the directories
    const Entry bits = image.Values(258, test::Short, {8, 8, 8});
    const std::uint32_t first = image.Directory({LongTag(256, 9), LongTag(257, 7), bits, ShortTag(259, 1), ShortTag(262, 2)});
    image.SetFirst(first);
    image.SetNext(first, image.Directory(TiffImage::Grey(4, 3)));
    layouts.emplace_back("values first", image);
  }
  {
    TiffImage image;  // the directory first, its values at the very end
    const std::uint32_t first = image.Directory({LongTag(256, 9), LongTag(257, 7), {258, test::Short, 3, 0}, ShortTag(259, 1), ShortTag(262, 2)});
    image.SetValueOffset(first, 2, image.Data({8, 0, 8, 0, 8, 0}));
    layouts.emplace_back("values last", image);
  }
  for (const auto& [name, image] : layouts) {
    std::int32_t count = 0;
    ASSERT_EQ(LoadAndClose(image.Bytes(), &count), "") << name;
    EXPECT_GE(count, 1);
    for (std::size_t length = 0; length < image.Size(); ++length) {
      const std::string expected = length < 8 ? test::UnsupportedFileType : test::ReadError;
      EXPECT_EQ(LoadAndClose(image.Prefix(length)), expected) << name << ", cut at " << length;
    }
  }
}

TEST(BitmapImageSize, MissingOrOutOfRangeTags) {
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    std::string expected;  // "" for success
    std::int32_t width;
    std::int32_t height;
  };
  const std::vector<Entry> kind = {ShortTag(259, 1), ShortTag(262, 1)};
  auto with = [&](std::vector<Entry> extra) {
    extra.insert(extra.end(), kind.begin(), kind.end());
    return extra;
  };
  const std::vector<Case> cases = {
      {"short tags", with({ShortTag(256, 65535), ShortTag(257, 1)}), "", 65535, 1},
      {"largest signed width", with({LongTag(256, 0x7FFFFFFF), LongTag(257, 2)}), "", 0x7FFFFFFF, 2},
      {"several widths use the first", with({{256, test::Short, 2, 0x00030005}, ShortTag(257, 4)}), "", 5, 4},
      {"height missing writes width", with({ShortTag(256, 33)}), test::StructureError, 33, -2},
      {"width missing", with({ShortTag(257, 33)}), test::StructureError, -1, -2},
      {"width unusable type", with({{256, test::SLong, 1, 5}, ShortTag(257, 33)}), test::StructureError, -1, -2},
      {"width count 0", with({{256, test::Long, 0, 5}, ShortTag(257, 33)}), test::StructureError, -1, -2},
      {"width beyond signed range", with({LongTag(256, 0x80000000), ShortTag(257, 3)}), "ERangeError", -1, -2},
      {"height beyond signed range", with({ShortTag(256, 3), LongTag(257, 0xFFFFFFFF)}), "ERangeError", 3, -2},
  };
  for (const Case& c : cases) {
    TiffImage image;
    image.Directory(c.entries);
    platform::MemoryStream stream(image.Bytes());
    TTIFFBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadFromStream(stream)) << c.name;
    std::int32_t width = -1, height = -2;
    std::string outcome;
    try {
      EXPECT_TRUE(bitmap.GetImageSize(1, width, height));
    } catch (const ERangeError&) {
      outcome = "ERangeError";
    } catch (const Exception& e) {
      outcome = test::FailureName(e);
    }
    EXPECT_EQ(outcome, c.expected) << c.name;
    EXPECT_EQ(width, c.width) << c.name;
    EXPECT_EQ(height, c.height) << c.name;
    EXPECT_EQ(bitmap.DirectoryCount(), 1) << c.name << ": a failed size query closed the bitmap";
  }
}

TEST(BitmapLifecycle, CloseIsSafeAnyTimeAndAStreamLoadReplacesTheOldDirectories) {
  TTIFFBitmap bitmap;
  bitmap.Close();
  bitmap.Close();
  EXPECT_EQ(bitmap.DirectoryCount(), 0);

  platform::MemoryStream three(ThreeLevels().Bytes());
  ASSERT_TRUE(bitmap.LoadFromStream(three));
  TiffImage single;
  single.Directory(TiffImage::Grey(5, 6));
  platform::MemoryStream one(single.Bytes());
  ASSERT_TRUE(bitmap.LoadFromStream(one));
  EXPECT_EQ(bitmap.DirectoryCount(), 1);
  std::int32_t w = 0, h = 0;
  ASSERT_TRUE(bitmap.GetImageSize(1, w, h));
  EXPECT_EQ(w, 5);

  bitmap.Close();
  bitmap.Close();
  EXPECT_EQ(bitmap.DirectoryCount(), 0);
  EXPECT_FALSE(bitmap.GetImageSize(1, w, h));
  // The caller's stream outlives Close and is still readable.
  three.SetPosition(0);
  char magic[2] = {};
  EXPECT_EQ(three.Read(magic, 2), 2u);
}

// Files on disk: opening, sharing and releasing.
class BitmapFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelvory-tiff-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Whether some other holder could take the file for writing right now.
  static bool WritersLockedOut(const std::string& path) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_TRUE(fd.Valid());
    return ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0;
  }

  static std::string OpenError(TTIFFBitmap& bitmap, const std::string& path) {
    try {
      bitmap.LoadFromFile(path);
      return "";
    } catch (const EFOpenError& e) {
      return e.what();
    }
  }

  std::string folder_;
};

TEST_F(BitmapFile, HoldsTheFileAgainstWritersUntilClosed) {
  const std::string path = Write("three.tif", ThreeLevels().Bytes());
  TTIFFBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadFromFile(path));
  EXPECT_EQ(bitmap.DirectoryCount(), 3);
  EXPECT_EQ(bitmap.FileName(), path);
  EXPECT_TRUE(WritersLockedOut(path));
  ASSERT_TRUE(bitmap.LoadFromFile(bitmap.FileName()));
  EXPECT_EQ(bitmap.DirectoryCount(), 3);
  bitmap.Close();
  EXPECT_FALSE(WritersLockedOut(path));
  EXPECT_EQ(bitmap.FileName(), "");
}

TEST_F(BitmapFile, ALoadReplacesTheOpenFileAndAFailedLoadReleasesIt) {
  const std::string three = Write("three.tif", ThreeLevels().Bytes());
  const std::string bad = Write("bad.tif", TiffImage(0, "MM").Bytes());
  TTIFFBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadFromFile(three));
  try {
    bitmap.LoadFromFile(bad);
    FAIL() << "a big-endian file was accepted";
  } catch (const TIFFError& e) {
    EXPECT_EQ(e.Failure(), TIFFFailure::UnsupportedFileType);
  }
  EXPECT_EQ(bitmap.DirectoryCount(), 0);
  EXPECT_FALSE(WritersLockedOut(three));
  EXPECT_FALSE(WritersLockedOut(bad));
}

TEST_F(BitmapFile, FilesThatCannotBeOpenedGiveTheOpenErrorWithTheFullPath) {
  TTIFFBitmap bitmap;
  const std::string missing = folder_ + "/missing.tif";
  EXPECT_EQ(OpenError(bitmap, missing), "Cannot open file \"" + missing + "\". " + std::strerror(ENOENT));
  EXPECT_EQ(bitmap.DirectoryCount(), 0);
  EXPECT_EQ(bitmap.FileName(), "");

  EXPECT_EQ(OpenError(bitmap, folder_), "Cannot open file \"" + folder_ + "\". " + std::strerror(EISDIR));

  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(OpenError(bitmap, "no-such-kelvory.tif"),
            "Cannot open file \"" + cwd + "/no-such-kelvory.tif\". " + std::strerror(ENOENT));
}

TEST_F(BitmapFile, AFileLockedByAnotherProcessCannotBeOpened) {
  const std::string path = Write("locked.tif", ThreeLevels().Bytes());
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Hold the file for writing until the parent closes its end of the pipe.
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(path.c_str(), O_RDWR);
    const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    char byte;
    (void)!::read(release[0], &byte, 1);
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(ok, '1');

  TTIFFBitmap bitmap;
  EXPECT_EQ(OpenError(bitmap, path), "Cannot open file \"" + path + "\". " + std::strerror(EBUSY));
  EXPECT_EQ(bitmap.DirectoryCount(), 0);

  ::close(release[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(bitmap.LoadFromFile(path));
  EXPECT_EQ(bitmap.DirectoryCount(), 3);
}

}  // namespace
}  // namespace kelvory
