#include "app/FileListView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <filesystem>
#include <fstream>

#include "app/PathElision.h"
#include "app/QtListDialogs.h"
#include "app/WrapToWidth.h"
#include "filelist/FileList.h"

namespace kelvory {
namespace {

class FileListViewTest : public testing::Test {
 protected:
  FileListViewTest() : view(list, [this] { return building; }) {
    list.AddFiles({"/maps/a.tif", "/maps/b.tif", "/maps/c.tif"});
    view.resize(351, 357);
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view, 5000));
  }

  QPoint CheckBox(int row) const { return view.CheckBoxRect(row).center(); }
  QPoint CaptionOf(int row) const { return view.visualRect(list.Model().index(row)).center(); }
  int CheckedCount() const {
    int count = 0;
    for (int row = 0; row < list.Model().rowCount(); ++row) count += list.Model().Checked(row) ? 1 : 0;
    return count;
  }

  FileList list;
  bool building = false;
  FileListView view;
};

TEST_F(FileListViewTest, ClickOnCheckBoxTogglesAndCounts) {
  ASSERT_FALSE(view.CheckBoxRect(1).isEmpty());
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CheckBox(1));
  EXPECT_FALSE(list.Model().Checked(1));
  EXPECT_EQ(list.SelectedPanelText(), "Выбрано: 2");
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CheckBox(1));
  EXPECT_TRUE(list.Model().Checked(1));
  EXPECT_EQ(list.SelectedCount(), 3);

  // Both presses of a double click on a check box toggle it, the counter following.
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CheckBox(2));
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, CheckBox(2));
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, CheckBox(2));
  EXPECT_TRUE(list.Model().Checked(2));
  EXPECT_EQ(list.SelectedCount(), 3);
}

TEST_F(FileListViewTest, PressesOffTheCheckBoxChangeNoMark) {
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CaptionOf(1));
  EXPECT_EQ(view.SelectedRow(), 1);
  QTest::mouseClick(view.viewport(), Qt::RightButton, {}, CheckBox(0));
  QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, CheckBox(0));
  const QPoint belowRows(CheckBox(0).x(), view.visualRect(list.Model().index(2)).bottom() + 20);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, belowRows);
  EXPECT_EQ(CheckedCount(), 3);
  EXPECT_EQ(list.SelectedCount(), 3);
}

TEST_F(FileListViewTest, BuildUndoesClicksAndSpace) {
  building = true;
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CheckBox(0));
  view.setFocus();
  view.setCurrentIndex(list.Model().index(2));
  QTest::keyClick(&view, Qt::Key_Space);
  EXPECT_TRUE(list.Model().Checked(0));
  EXPECT_TRUE(list.Model().Checked(2));
  EXPECT_EQ(list.SelectedCount(), 3);
  EXPECT_EQ(list.SelectedPanelText(), "Выбрано: 3");

  building = false;
  QTest::keyClick(&view, Qt::Key_Space);
  EXPECT_FALSE(list.Model().Checked(2));
  EXPECT_EQ(list.SelectedCount(), 2);
  EXPECT_EQ(view.SelectedRow(), 2);
}

TEST_F(FileListViewTest, OneFixedColumnThatSurvivesClear) {
  EXPECT_TRUE(view.isHeaderHidden());
  EXPECT_EQ(view.columnWidth(0), FileListView::kColumnWidth);
  list.Clear();
  list.AddFiles({"/maps/d.tif"});
  EXPECT_EQ(view.columnWidth(0), FileListView::kColumnWidth);
  EXPECT_EQ(view.header()->sectionResizeMode(0), QHeaderView::Fixed);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CheckBox(0));
  EXPECT_EQ(list.SelectedCount(), 0);
}

// A settled row's reason stays beside its status until a later build marks the row in
// progress; a row added anew starts without one.
TEST_F(FileListViewTest, ToolTipShowsWhyARowFailed) {
  const auto toolTipAt = [&](int row) {
    QHelpEvent help(QEvent::ToolTip, CaptionOf(row), view.viewport()->mapToGlobal(CaptionOf(row)));
    QApplication::sendEvent(view.viewport(), &help);
    return QToolTip::text();
  };
  const std::string reason = "gdaladdo exited with code 1: ERROR 1: /maps/\xD0\xBA.tif: disk full";
  list.SetStatus(1, StatusFailed);
  list.SetReason(1, reason);
  EXPECT_EQ(toolTipAt(1), QString::fromUtf8("/maps/b.tif\ngdaladdo exited with code 1: ERROR 1: /maps/к.tif: disk full"));
  EXPECT_EQ(toolTipAt(0), "/maps/a.tif");

  list.SetStatus(1, StatusInProgress);
  EXPECT_EQ(list.Model().Reason(1), "");
  EXPECT_EQ(toolTipAt(1), "/maps/b.tif");

  list.SetStatus(1, StatusFailed);
  list.SetReason(1, reason);
  list.DeleteRow(1);
  list.AddFiles({"/maps/b.tif"});
  EXPECT_EQ(list.Model().index(2).data(FileListModel::ReasonRole).toString(), "");
  EXPECT_EQ(list.Model().index(2).data(Qt::ToolTipRole).toString(), "/maps/b.tif");
}

// A long path and a tool's long error line come in lines of a readable width, broken
// after spaces or separators where there are some, and nothing of them is lost.
TEST_F(FileListViewTest, LongToolTipsAreWrappedWithNothingLost) {
  const QFontMetrics metrics(QToolTip::font());
  const QString folders = QString("/data/survey_2021/region_north/").repeated(6);
  const QString sentence = QString::fromUtf8("Пирамиды построить не удалось, файл занят другой программой. ").repeated(4);
  const struct {
    QString text;
    int width;
  } cases[] = {
      {"/maps/a.tif\ndisk full", 480},  // short: as it was
      {folders + "sheet.tif\n" + sentence, 480},
      {QString(300, u'x'), 120},  // no place to break: cut anywhere
  };
  for (const auto& c : cases) {
    const QString wrapped = WrapToWidth(c.text, metrics, c.width);
    for (const QString& line : wrapped.split(u'\n')) {
      EXPECT_LE(metrics.horizontalAdvance(line), c.width) << line.toStdString();
    }
    EXPECT_EQ(QString(wrapped).remove(u'\n'), QString(c.text).remove(u'\n'));
    if (metrics.horizontalAdvance(c.text) <= c.width) {
      EXPECT_EQ(wrapped, c.text);
    }
  }
  EXPECT_EQ(WrapToWidth(folders, metrics, 480).split(u'\n').constFirst().right(1), "/");

  list.AddFiles({(folders + "sheet.tif").toStdString()});
  list.SetStatus(3, StatusFailed);
  list.SetReason(3, sentence.toStdString());
  QHelpEvent help(QEvent::ToolTip, CaptionOf(3), view.viewport()->mapToGlobal(CaptionOf(3)));
  QApplication::sendEvent(view.viewport(), &help);
  EXPECT_GT(QToolTip::text().count(u'\n'), 3);
  EXPECT_EQ(QToolTip::text().remove(u'\n'), folders + "sheet.tif" + sentence);
}

// A row too narrow for its path gives way in the folders; the name is cut only when it
// alone does not fit, and what is shown never outgrows the room.
TEST_F(FileListViewTest, LongPathsKeepTheFileNameWholeAndCutTheFolder) {
  const QFontMetrics metrics(view.font());
  const QString ellipsis(QChar(0x2026));
  const QString name = QString::fromUtf8("/снимок с пробелом, белом и 'кавычкой'.tif");
  const QString folder = QString("/data/survey_2021/region_north").repeated(3) + "/g";
  const int nameRoom = metrics.horizontalAdvance(ellipsis + name);
  const struct {
    QString path;
    int width;
    QString start;  // what the shown text begins with
    QString end;    // and ends with
  } cases[] = {
      {folder + name, metrics.horizontalAdvance(folder + name), folder, name},  // fits: as it is
      {folder + name, nameRoom + metrics.horizontalAdvance("/data/survey"), "/data", name},
      {folder + name, nameRoom, ellipsis, name},  // only the name fits
      {"C:\\maps\\" + QString(80, u'x') + "\\sheet.tif", metrics.horizontalAdvance("C:\\maps\\x\\sheet.tif"), "C:",
       "\\sheet.tif"},
      {folder + name, metrics.horizontalAdvance(name) / 2, ellipsis, "'.tif"},  // the name cut, its end kept
  };
  for (const auto& c : cases) {
    const QString shown = ElidePath(c.path, metrics, c.width);
    EXPECT_TRUE(shown.startsWith(c.start) && shown.endsWith(c.end)) << shown.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(shown), c.width) << shown.toStdString();
  }
}

// Answers the next dialog that opens by choosing name in folder.
void AnswerNextDialog(const QString& folder, const QString& name) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialog->setDirectory(folder);
    dialog->selectFile(name);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
  });
}

TEST(QtListDialogs, AnswersComeBackAsPaths) {
  const auto folder = std::filesystem::temp_directory_path() / "kelvory-dialogs-test";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "list.txt") << "old";
  QtListDialogs dialogs(nullptr);
  const QString where = QString::fromStdString(folder.string());

  AnswerNextDialog(where, "list");
  EXPECT_EQ(dialogs.ChooseListToSave(), (folder / "list.txt").string());

  AnswerNextDialog(where, "missing.txt");  // existence is left to the reading
  EXPECT_EQ(dialogs.ChooseListToLoad(), (folder / "missing.txt").string());

  std::ofstream(folder / "a.tif") << "II*";
  AnswerNextDialog(where, "a.tif");
  EXPECT_EQ(dialogs.ChooseFilesToAdd(), std::vector<std::string>{(folder / "a.tif").string()});
  const auto again = dialogs.MakeAddDialog();  // reopens on the previous choice
  EXPECT_EQ(again->selectedFiles(), QStringList{QDir::fromNativeSeparators(where) + "/a.tif"});
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kelvory
