#include "filelist/FolderWalk.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "TempFolder.h"

namespace kelvory {
namespace {

using Lines = std::vector<std::string>;

TEST(FolderWalk, FindsTiffFilesAtAnyDepthSortedOnceEach) {
  test::TempFolder folder;
  const std::string root = folder.Path();
  std::filesystem::create_directories(root + "/b/deep/er");
  std::filesystem::create_directories(root + "/a");
  std::filesystem::create_directories(root + "/empty");
  for (const char* name : {"b/deep/er/z.TIF", "b/y.tiff", "a/x.Tiff", "top.tif", "B.tif",
                           "notes.txt", "a/x.tif.bak", "a/tif", "b/deep/.tiff"}) {
    test::WriteBytes(root + "/" + name, "");
  }
  std::filesystem::create_directory(root + "/folder.tif");  // a folder, whatever its name
  // A link back up the tree, a link to a file and a dangling link.
  std::filesystem::create_directory_symlink(root, root + "/b/deep/loop");
  std::filesystem::create_symlink(root + "/top.tif", root + "/a/linked.tif");
  std::filesystem::create_symlink(root + "/gone.tif", root + "/a/dangling.tif");

  std::error_code error;
  const FolderFiles found = TiffFilesBelow(root, error);
  EXPECT_FALSE(error);
  EXPECT_TRUE(found.unreadable.empty());
  EXPECT_EQ(found.files, (Lines{root + "/B.tif", root + "/a/linked.tif", root + "/a/x.Tiff", root + "/b/deep/.tiff",
                          root + "/b/deep/er/z.TIF", root + "/b/y.tiff", root + "/top.tif"}));
  // Given with a trailing separator, the paths still have single separators.
  EXPECT_EQ(TiffFilesBelow(root + "/", error).files, found.files);
}

TEST(FolderWalk, MissingFolderOrAFileIsAnError) {
  test::TempFolder folder;
  test::WriteBytes(folder / "a.tif", "");
  for (const std::string& path : {folder / "missing", folder / "a.tif"}) {
    std::error_code error;
    EXPECT_TRUE(TiffFilesBelow(path, error).files.empty()) << path;
    EXPECT_TRUE(error) << path;
  }
}

// A link to itself fails for every user, root too; a folder nobody may read only for
// the others.
TEST(FolderWalk, UnreadablePartsAreReportedWithTheirCauseAndTheRestIsFound) {
  test::TempFolder folder;
  const std::string root = folder.Path();
  std::filesystem::create_directories(root + "/locked/inside");
  std::filesystem::create_directories(root + "/open");
  test::WriteBytes(root + "/open/a.tif", "");
  test::WriteBytes(root + "/locked/inside/b.tif", "");
  std::filesystem::create_symlink("loop.tif", root + "/open/loop.tif");
  std::filesystem::permissions(root + "/locked", std::filesystem::perms::none);
  std::vector<UnreadablePath> expected = {{root + "/open/loop.tif", std::error_code(ELOOP, std::generic_category())}};
  if (::geteuid() != 0) expected.insert(expected.begin(), {root + "/locked", std::make_error_code(std::errc::permission_denied)});

  std::error_code error;
  const FolderFiles found = TiffFilesBelow(root, error);
  const FolderFiles given = TiffFilesFor({root});
  std::filesystem::permissions(root + "/locked", std::filesystem::perms::owner_all);
  EXPECT_FALSE(error);
  EXPECT_EQ(found.unreadable, expected);
  EXPECT_EQ(found.files.back(), root + "/open/a.tif");
  EXPECT_EQ(given.unreadable, expected);
}

}  // namespace
}  // namespace kelvory
