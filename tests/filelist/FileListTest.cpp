#include "filelist/FileList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "filelist/ListCommands.h"
#include "platform/Errors.h"
#include "TempFolder.h"

namespace kelvory {
namespace {

using Lines = std::vector<std::string>;

Lines Captions(const FileList& list) {
  Lines captions;
  for (int row = 0; row < list.Model().rowCount(); ++row) captions.emplace_back(list.Model().Caption(row));
  return captions;
}

int CheckedCount(const FileList& list) {
  int count = 0;
  for (int row = 0; row < list.Model().rowCount(); ++row) count += list.Model().Checked(row) ? 1 : 0;
  return count;
}

// Answers the commands' questions from prepared values.
struct ScriptedDialogs : ListDialogs {
  std::optional<Lines> add;
  std::optional<std::string> load, save;
  std::optional<Lines> ChooseFilesToAdd() override { return add; }
  std::optional<std::string> ChooseListToLoad() override { return load; }
  std::optional<std::string> ChooseListToSave() override { return save; }
};

class FileListTest : public testing::Test {
 protected:
  FileListTest() {
    QObject::connect(&list, &FileList::CountersChanged, [this] { ++countersChanged; });
    QObject::connect(&list, &FileList::SelectionPanelChanged, [this] { ++selectionChanged; });
  }
  void ExpectPanels(int files, int selected) {
    EXPECT_EQ(list.FilesPanelText(), "Файлов в списке: " + std::to_string(files));
    EXPECT_EQ(list.SelectedPanelText(), "Выбрано: " + std::to_string(selected));
  }

  FileList list;
  ScriptedDialogs dialogs;
  test::TempFolder folder;
  int countersChanged = 0;
  int selectionChanged = 0;
};

TEST_F(FileListTest, AddKeepsOneRowPerPathAndRechecksUnchecked) {
  ExpectPanels(0, 0);
  dialogs.add = Lines{"/d/a.tif", "/d/b.tif", "/d/A.tif"};
  AddCommand(list, dialogs);
  EXPECT_EQ(Captions(list), (Lines{"/d/a.tif", "/d/b.tif", "/d/A.tif"}));  // case makes a new row
  EXPECT_EQ(CheckedCount(list), 3);
  EXPECT_EQ(list.Model().Status(0), StatusNone);
  ExpectPanels(3, 3);

  // A finished build unchecks a row and counts down itself.
  list.SetStatus(1, StatusDone);
  list.SetChecked(1, false);
  list.SetSelectedCount(2);
  countersChanged = 0;

  dialogs.add = Lines{"/d/a.tif"};  // listed and checked: nothing at all
  AddCommand(list, dialogs);
  EXPECT_EQ(countersChanged, 0);
  ExpectPanels(3, 2);

  dialogs.add = Lines{"/d/b.tif", "/d/c.tif", "/d/c.tif"};
  AddCommand(list, dialogs);
  EXPECT_EQ(Captions(list), (Lines{"/d/a.tif", "/d/b.tif", "/d/A.tif", "/d/c.tif"}));
  EXPECT_TRUE(list.Model().Checked(1));
  EXPECT_EQ(list.Model().Status(1), StatusDone);  // re-checking keeps the picture
  ExpectPanels(4, 4);
  EXPECT_EQ(countersChanged, 1);

  dialogs.add.reset();  // cancelled
  AddCommand(list, dialogs);
  EXPECT_EQ(list.Model().rowCount(), 4);
}

TEST_F(FileListTest, DeleteCountsOnlyCheckedRows) {
  list.AddFiles({"a", "b", "c"});
  list.SetChecked(1, false);
  list.SetSelectedCount(2);

  DeleteCommand(list, 1);  // unchecked
  ExpectPanels(2, 2);
  DeleteCommand(list, -1);  // nothing selected
  ExpectPanels(2, 2);
  DeleteCommand(list, 0);  // checked
  ExpectPanels(1, 1);
  EXPECT_EQ(Captions(list), Lines{"c"});

  // The index follows the shifted rows: "c" is still known, "a" may come back.
  list.AddFiles({"c", "a"});
  EXPECT_EQ(Captions(list), (Lines{"c", "a"}));
  EXPECT_EQ(list.FindRow("a"), 1);

  ClearCommand(list);
  ExpectPanels(0, 0);
  list.AddFiles({"a"});
  EXPECT_EQ(list.Model().rowCount(), 1);
}

// Rows with the same reason share it; each row keeps its own through changes of the
// others, deletions and a clear.
TEST_F(FileListTest, EachRowKeepsItsReasonWhenOthersChange) {
  list.AddFiles({"a", "b", "c", "d"});
  for (int row = 0; row < 4; ++row) list.SetReason(row, "Пирамиды уже есть.");
  list.SetReason(1, "другая причина");
  list.SetReason(2, "");
  DeleteCommand(list, 0);
  list.SetReason(2, list.Model().Reason(2));
  EXPECT_EQ((Lines{list.Model().Reason(0), list.Model().Reason(1), list.Model().Reason(2)}), (Lines{"другая причина", "", "Пирамиды уже есть."}));
  list.SetReason(0, "Пирамиды уже есть.");
  list.SetStatus(2, StatusInProgress);  // a new run forgets the last one's reason
  EXPECT_EQ((Lines{list.Model().Reason(0), list.Model().Reason(1), list.Model().Reason(2)}), (Lines{"Пирамиды уже есть.", "", ""}));
  ClearCommand(list);
  list.AddFiles({"e"});
  EXPECT_EQ(list.Model().Reason(0), "");
}

TEST_F(FileListTest, LoadReplacesListWithDistinctNonEmptyLines) {
  list.AddFiles({"old", "b"});
  list.SetStatus(1, StatusFailed);
  list.SetChecked(0, false);
  const std::string path = folder / "list.txt";
  test::WriteBytes(path, "b\n\nc\r\n  \rb\r\nB\nc");
  dialogs.load = path;
  LoadCommand(list, dialogs);
  EXPECT_EQ(Captions(list), (Lines{"b", "c", "  ", "B"}));
  EXPECT_EQ(CheckedCount(list), 4);
  EXPECT_EQ(list.Model().Status(0), StatusNone);  // a loaded row starts afresh
  ExpectPanels(4, 4);

  test::WriteBytes(path, "");
  LoadCommand(list, dialogs);
  ExpectPanels(0, 0);
}

TEST_F(FileListTest, LoadThatCannotOpenLeavesListAlone) {
  list.AddFiles({"a"});
  countersChanged = 0;
  dialogs.load = folder / "missing.txt";
  EXPECT_THROW(LoadCommand(list, dialogs), EFOpenError);
  EXPECT_EQ(Captions(list), Lines{"a"});
  EXPECT_EQ(countersChanged, 0);
}

TEST_F(FileListTest, SaveThenLoadGivesSameRowsChecked) {
#ifdef _WIN32
  // Paths are UTF-8 inside on Windows, made from its UTF-16 names.
  const Lines paths = {"/x/\xD0\x9F\xD1\x80.tif", "/x/\xD0\x9C.tif", "/x/b.tif"};
#else
  // A file name's bytes need not be UTF-8 here: they come back as they were.
  const Lines paths = {"/x/\xCF\xF0\xE8\xEC\xE5\xF0.tif", "/x/\xD0\x9C.tif", "/x/b.tif"};
#endif
  list.AddFiles(paths);
  list.SetChecked(1, false);
  list.SetStatus(2, StatusNotFound);
  dialogs.save = folder / "saved.txt";
  SaveCommand(list, dialogs);

  FileList other;
  dialogs.load = dialogs.save;
  LoadCommand(other, dialogs);
  EXPECT_EQ(Captions(other), paths);
  EXPECT_EQ(CheckedCount(other), 3);
  EXPECT_EQ(other.Model().Status(2), StatusNone);

  FileList empty;
  SaveCommand(empty, dialogs);
  EXPECT_EQ(test::ReadBytes(*dialogs.save), "");

  dialogs.save = folder / "none/saved.txt";
  EXPECT_THROW(SaveCommand(list, dialogs), EFCreateError);
}

TEST_F(FileListTest, CheckBoxToggleIsUndoneDuringBuild) {
  list.AddFiles({"a", "b"});
  list.SetChecked(0, false);  // as the view does before telling the list
  list.CheckBoxToggled(0, false);
  EXPECT_EQ(list.SelectedCount(), 1);
  list.SetChecked(0, true);
  list.CheckBoxToggled(0, false);
  EXPECT_EQ(list.SelectedCount(), 2);

  list.SetChecked(1, false);
  list.CheckBoxToggled(1, true);
  EXPECT_TRUE(list.Model().Checked(1));
  EXPECT_EQ(list.SelectedCount(), 2);
  EXPECT_EQ(selectionChanged, 3);
  EXPECT_EQ(list.SelectedPanelText(), "Выбрано: 2");
}

// Random sequences of every operation that touches check marks, against a plain
// model of the rows: outside a build the counter always equals the check marks, and
// each caption stays findable at its row.
TEST_F(FileListTest, CounterFollowsCheckMarksThroughRandomSequences) {
  struct Row {
    std::string caption;
    bool checked;
  };
  std::vector<Row> model;
  const auto find = [&model](const std::string& caption) {
    return std::find_if(model.begin(), model.end(), [&](const Row& r) { return r.caption == caption; });
  };
  const Lines pool = {"/m/a.tif", "/m/A.tif", "/m/b.tif", "/m/c.tif", "/m/d.tif", " ", "/m/e.tif"};
  std::mt19937 random(20240611);
  const auto pick = [&random](int size) { return std::uniform_int_distribution<int>(0, size - 1)(random); };
  const auto somePaths = [&] {
    Lines paths;
    for (int n = pick(4); n >= 0; --n) paths.push_back(pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))]);
    return paths;
  };
  const std::string listFile = folder / "list.txt";

  for (int step = 0; step < 3000; ++step) {
    const int rows = static_cast<int>(model.size());
    const int row = rows == 0 ? -1 : pick(rows);
    switch (pick(7)) {
      case 0: {  // Add
        const Lines paths = somePaths();
        list.AddFiles(paths);
        for (const auto& path : paths) {
          if (auto found = find(path); found != model.end()) {
            found->checked = true;
          } else {
            model.push_back({path, true});
          }
        }
        break;
      }
      case 1: {  // Delete, sometimes without a selection
        const int selected = pick(4) == 0 ? -1 : row;
        DeleteCommand(list, selected);
        if (selected >= 0) model.erase(model.begin() + selected);
        break;
      }
      case 2:
        if (pick(4) == 0) {
          list.Clear();
          model.clear();
        }
        break;
      case 3: {  // Load, blank lines and repeats included
        const Lines lines = somePaths();
        std::string text;
        for (const auto& line : lines) text += line + (pick(2) == 0 ? "\r\n" : "\n\n");
        test::WriteBytes(listFile, text);
        list.LoadFrom(listFile);
        model.clear();
        for (const auto& line : lines) {
          if (find(line) == model.end()) model.push_back({line, true});
        }
        break;
      }
      case 4:  // a click on a check box, outside or during a build
      case 5: {
        if (row < 0) break;
        const bool building = pick(2) == 0;
        list.SetChecked(row, !list.Model().Checked(row));
        list.CheckBoxToggled(row, building);
        if (!building) model[static_cast<std::size_t>(row)].checked ^= true;
        break;
      }
      case 6:  // a build finishes a checked row
        if (row < 0 || !list.Model().Checked(row)) break;
        list.SetChecked(row, false);
        list.SetSelectedCount(list.SelectedCount() - 1);
        model[static_cast<std::size_t>(row)].checked = false;
        break;
    }
    ASSERT_EQ(list.Model().rowCount(), static_cast<int>(model.size())) << "step " << step;
    int checked = 0;
    for (int r = 0; r < list.Model().rowCount(); ++r) {
      const Row& expected = model[static_cast<std::size_t>(r)];
      ASSERT_EQ(list.Model().Caption(r), expected.caption) << "step " << step;
      ASSERT_EQ(list.Model().Checked(r), expected.checked) << "step " << step;
      ASSERT_EQ(list.FindRow(expected.caption), r) << "step " << step;
      checked += expected.checked ? 1 : 0;
    }
    ASSERT_EQ(list.SelectedCount(), checked) << "step " << step;
    ASSERT_EQ(list.SelectedPanelText(), "Выбрано: " + std::to_string(checked));
  }
}

TEST_F(FileListTest, CheckUnsuccessfulRechecksFailedAndNotFoundRowsOnly) {
  list.AddFiles({"done", "failed", "missing", "unbuilt", "failed-checked"});
  const StatusImage statuses[] = {StatusDone, StatusFailed, StatusNotFound, StatusNone, StatusFailed};
  for (int row = 0; row < 5; ++row) {
    list.SetStatus(row, statuses[row]);
    if (row < 4) list.SetChecked(row, false);
  }
  list.SetSelectedCount(1);
  countersChanged = 0;

  EXPECT_EQ(list.CheckUnsuccessful(), 2);
  const bool expected[] = {false, true, true, false, true};
  for (int row = 0; row < 5; ++row) EXPECT_EQ(list.Model().Checked(row), expected[row]) << row;
  EXPECT_EQ(list.Model().Status(1), StatusFailed);  // the picture stays until the next build
  ExpectPanels(5, 3);
  EXPECT_EQ(countersChanged, 1);

  EXPECT_EQ(list.CheckUnsuccessful(), 0);
  EXPECT_EQ(countersChanged, 1);
}

TEST_F(FileListTest, ModelShowsRowsForTheView) {
  list.AddFiles({"/d/\xD0\xBA.tif"});
  list.SetStatus(0, StatusInProgress);
  list.SetChecked(0, false);
  const QModelIndex index = list.Model().index(0);
  EXPECT_EQ(index.data().toString(), QString::fromUtf8("/d/к.tif"));
  EXPECT_EQ(index.data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_EQ(index.data(FileListModel::StatusRole).toInt(), StatusInProgress);
  EXPECT_FALSE(list.Model().flags(index) & Qt::ItemIsUserCheckable);
}

}  // namespace
}  // namespace kelvory
