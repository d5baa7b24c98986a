#pragma once
// The check-box list of files: one fixed 327-pixel column without a header, a check
// box, a status picture and the caption on every row, single selection, no editing.
// A primary-button press exactly on a check box (and the space bar on the current
// row) toggles it here, on the press, and then lets the list follow or undo it.
// Long paths are shortened in their folders, so the file name stays whole; a running
// row shows its percentage before the path. Files and folders dropped from a file
// manager are handed on outside a build; Enter or a double click asks about a row.
// The keyboard opens the list's menu at the current row (the Menu key, Shift+F10),
// Delete asks to remove the row, and an empty list shows that it has the focus.
#include <QTreeView>

#include <functional>

namespace kelvory {

class FileList;
class FileListDelegate;

class FileListView final : public QTreeView {
  Q_OBJECT

 public:
  static constexpr int kColumnWidth = 327;

  FileListView(FileList& list, std::function<bool()> isBuilding, QWidget* parent = nullptr);
  ~FileListView() override;

  // The selected row, or -1.
  int SelectedRow() const;
  // Where row's check box is drawn, in viewport coordinates (empty for no row).
  QRect CheckBoxRect(int row) const;

 signals:
  // Local paths of everything dropped, in the order given.
  void PathsDropped(const QStringList& paths);
  // Enter or a double click off the check box.
  void RowActivated(int row);
  // The Delete key.
  void DeleteRequested();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The row whose check box lies under pos, or -1.
  int CheckBoxRowAt(const QPoint& pos) const;
  void ToggleCheckBox(int row);
  // Where a menu the keyboard asks for opens: at the current row, or at the top.
  QPoint KeyboardMenuPoint() const;
  // Whether a drop of what mime holds would be taken now.
  bool TakesDrop(const QMimeData* mime) const;

  FileList& list_;
  std::function<bool()> isBuilding_;
  FileListDelegate* delegate_;
};

}  // namespace kelvory
