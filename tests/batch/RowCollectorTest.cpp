#include "batch/RowCollector.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace kelvory {
namespace {

using Kind = BatchSource::Kind;

// The rows' paths, every argument taken as a file.
std::vector<std::string> CollectRows(const std::vector<BatchSource>& sources, const ListReader& readList) {
  std::vector<std::string> paths;
  for (BatchRow& row : CollectBatchRows(sources, readList, {})) paths.push_back(std::move(row.path));
  return paths;
}

TEST(RowCollector, PathsAndListLinesBecomeRowsOnceInFirstSeenOrder) {
  const std::map<std::string, std::vector<std::string>> lists = {
      {"one.txt", {"/d/b.tif", "", "/d/a.tif", "/d/c.tif", "/d/b.tif", "  "}},
      {"two.txt", {"/d/A.tif", "/d/c.tif", "/d//c.tif"}},
  };
  const ListReader read = [&](const std::string& path) { return lists.at(path); };
  const std::vector<BatchSource> sources = {
      {Kind::Path, "/d/a.tif"}, {Kind::ListFile, "one.txt"}, {Kind::Path, ""},
      {Kind::ListFile, "two.txt"}, {Kind::Path, "/d/a.tif"}, {Kind::ListFile, "one.txt"},
  };
  // Only byte-equal captions are the same row: case, doubled separators and a line of
  // spaces all make rows of their own.
  EXPECT_EQ(CollectRows(sources, read),
            (std::vector<std::string>{"/d/a.tif", "/d/b.tif", "/d/c.tif", "  ", "/d/A.tif",
                                      "/d//c.tif"}));
}

TEST(RowCollector, UnreadableListStopsTheCollection) {
  const ListReader read = [](const std::string& path) -> std::vector<std::string> {
    throw std::runtime_error("cannot read " + path);
  };
  EXPECT_THROW(CollectRows({{Kind::Path, "a.tif"}, {Kind::ListFile, "gone.txt"}}, read),
               std::runtime_error);
}

TEST(RowCollector, FoldersKeepTheirSubfoldersAndRelativeListLinesStartAtTheList) {
  const std::map<std::string, std::vector<std::string>> lists = {
      {"/lists/l.txt", {"x.tif", "../data/y.tif", "/abs/z.tif", "sub/w.tif"}},
      {"here.txt", {"v.tif"}},
  };
  const std::error_code denied = std::make_error_code(std::errc::permission_denied);
  const std::map<std::string, FolderFiles> folders = {
      {"/data", {{"/data/a/b/c.tif", "/data/a/d.tif", "/data/top.tif"}, {{"/data/locked", denied}}}},
      {"rel/", {{"rel/e/f.tif"}, {}}},
  };
  const ListReader read = [&](const std::string& path) { return lists.at(path); };
  const FolderLister listFolder = [&](const std::string& path) -> std::optional<FolderFiles> {
    const auto found = folders.find(path);
    if (found == folders.end()) return std::nullopt;
    return found->second;
  };
  const std::vector<BatchSource> sources = {
      {Kind::Path, "/data"}, {Kind::ListFile, "/lists/l.txt"}, {Kind::ListFile, "here.txt"},
      {Kind::Path, "rel/"}, {Kind::Path, "/data/top.tif"}, {Kind::Path, "plain.tif"},
  };
  // A file met again as a plain argument keeps the row (and subfolder) it first had;
  // what a folder could not read follows its files.
  EXPECT_EQ(CollectBatchRows(sources, read, listFolder),
            (std::vector<BatchRow>{{"/data/a/b/c.tif", "a/b", {}},
                                   {"/data/a/d.tif", "a", {}},
                                   {"/data/top.tif", "", {}},
                                   {"/data/locked", "", denied},
                                   {"/lists/x.tif", "", {}},
                                   {"/lists/../data/y.tif", "", {}},
                                   {"/abs/z.tif", "", {}},
                                   {"/lists/sub/w.tif", "", {}},
                                   {"v.tif", "", {}},
                                   {"rel/e/f.tif", "e", {}},
                                   {"plain.tif", "", {}}}));
}

#ifdef _WIN32
// Windows paths: backslashes (as the folder walk gives them), drive letters and mixed
// separators.
TEST(RowCollector, WindowsFoldersKeepTheirSubfoldersAndListLinesStartAtTheList) {
  const ListReader read = [](const std::string&) {
    return std::vector<std::string>{"x.tif", "D:\\abs\\z.tif", "\\\\server\\maps\\u.tif"};
  };
  const FolderLister listFolder = [](const std::string& path) -> std::optional<FolderFiles> {
    if (path != "D:\\maps") return std::nullopt;
    return FolderFiles{{"D:\\maps\\a\\b\\c.tif", "D:\\maps\\top.tif"}, {}};
  };
  EXPECT_EQ(CollectBatchRows({{Kind::Path, "D:\\maps"}, {Kind::ListFile, "E:/lists\\l.txt"}}, read, listFolder),
            (std::vector<BatchRow>{{"D:\\maps\\a\\b\\c.tif", "a\\b", {}},
                                   {"D:\\maps\\top.tif", "", {}},
                                   {"E:/lists\\x.tif", "", {}},
                                   {"D:\\abs\\z.tif", "", {}},
                                   {"\\\\server\\maps\\u.tif", "", {}}}));
}
#endif

}  // namespace
}  // namespace kelvory
