#include "filelist/FolderWalk.h"

#include <gtest/gtest.h>

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
  const Lines found = TiffFilesBelow(root, error);
  EXPECT_FALSE(error);
  EXPECT_EQ(found, (Lines{root + "/B.tif", root + "/a/linked.tif", root + "/a/x.Tiff", root + "/b/deep/.tiff",
                          root + "/b/deep/er/z.TIF", root + "/b/y.tiff", root + "/top.tif"}));
  // Given with a trailing separator, the paths still have single separators.
  EXPECT_EQ(TiffFilesBelow(root + "/", error), found);
}

TEST(FolderWalk, MissingFolderOrAFileIsAnError) {
  test::TempFolder folder;
  test::WriteBytes(folder / "a.tif", "");
  for (const std::string& path : {folder / "missing", folder / "a.tif"}) {
    std::error_code error;
    EXPECT_TRUE(TiffFilesBelow(path, error).empty()) << path;
    EXPECT_TRUE(error) << path;
  }
}

}  // namespace
}  // namespace kelvory
