#include "batch/RowCollector.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace kelvory {
namespace {

using Kind = BatchSource::Kind;

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

}  // namespace
}  // namespace kelvory
