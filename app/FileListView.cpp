#include "app/FileListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

#include "app/PathElision.h"
#include "app/ReasonText.h"
#include "app/StatusIcons.h"
#include "app/WindowText.h"
#include "app/WrapToWidth.h"
#include "filelist/FileList.h"
#include "filelist/PathText.h"

namespace kelvory {
namespace {

// A little wider than the list: a path of a few folders and a tool's error line
// take two or three lines.
constexpr int kToolTipWidth = 480;

}  // namespace

// Draws each row's status picture in the image space, and answers where the check
// box is drawn, from the very same style options the painting uses.
class FileListDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QRect CheckRect(const QStyleOptionViewItem& base, const QModelIndex& index) const {
    QStyleOptionViewItem option(base);
    initStyleOption(&option, index);
    const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    return style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, option.widget);
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const auto status = static_cast<StatusImage>(index.data(FileListModel::StatusRole).toInt());
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon(icons_.Picture(status));
    option->decorationSize = QSize(StatusIcons::kSize, StatusIcons::kSize);
    option->text = Prefix(index) + option->text;
  }

  // The style would cut a long path anywhere in its middle, the file name too: the
  // path is shortened here, in its folders, to the room the style gives the text.
  void paint(QPainter* painter, const QStyleOptionViewItem& base, const QModelIndex& index) const override {
    QStyleOptionViewItem option(base);
    initStyleOption(&option, index);
    const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget).width() - 2 * margin;
    const QString prefix = Prefix(index);
    option.text = prefix + ElidePath(index.data(Qt::DisplayRole).toString(), option.fontMetrics,
                                     room - option.fontMetrics.horizontalAdvance(prefix));
    style->drawControl(QStyle::CE_ItemViewItem, &option, painter, option.widget);
  }

 private:
  // What a row shows before its path: a running row's percentage, a stopped row's word.
  static QString Prefix(const QModelIndex& index) {
    const auto status = static_cast<StatusImage>(index.data(FileListModel::StatusRole).toInt());
    const int percent = index.data(FileListModel::ProgressRole).toInt();
    if (status == StatusInProgress && percent >= 0) return QStringLiteral("%1% · ").arg(percent);
    if (status == StatusFailed && index.data(FileListModel::StoppedRole).toBool())
      return QCoreApplication::translate("Kelvory", "остановлено · ");
    return {};
  }

  StatusIcons icons_;
};

FileListView::FileListView(FileList& list, std::function<bool()> isBuilding, QWidget* parent)
    : QTreeView(parent), list_(list), isBuilding_(std::move(isBuilding)), delegate_(new FileListDelegate(this)) {
  setModel(&list_.Model());
  setItemDelegate(delegate_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(StatusIcons::kSize, StatusIcons::kSize));
  setAllColumnsShowFocus(true);
  setTextElideMode(Qt::ElideMiddle);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  // Defaults as well as the section itself, so that the width survives a model reset.
  QHeaderView* columns = header();
  columns->setStretchLastSection(false);
  columns->setMinimumSectionSize(kColumnWidth);
  columns->setMaximumSectionSize(kColumnWidth);
  columns->setDefaultSectionSize(kColumnWidth);
  columns->setSectionResizeMode(QHeaderView::Fixed);
  columns->resizeSection(0, kColumnWidth);
}

FileListView::~FileListView() = default;

int FileListView::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

QRect FileListView::CheckBoxRect(int row) const {
  const QModelIndex index = model()->index(row, 0);
  if (!index.isValid()) return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return delegate_->CheckRect(option, index);
}

int FileListView::CheckBoxRowAt(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return -1;
  return CheckBoxRect(index.row()).contains(pos) ? index.row() : -1;
}

void FileListView::ToggleCheckBox(int row) {
  list_.SetChecked(row, !list_.Model().Checked(row));
  list_.CheckBoxToggled(row, isBuilding_());
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QTreeView::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const int row = CheckBoxRowAt(pos);
  if (row >= 0) ToggleCheckBox(row);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click on a check box toggles it again, as any press.
  if (event->button() == Qt::LeftButton) {
    const int row = CheckBoxRowAt(event->position().toPoint());
    if (row >= 0) {
      QTreeView::mousePressEvent(event);
      ToggleCheckBox(row);
      return;
    }
  }
  QTreeView::mouseDoubleClickEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) emit RowActivated(index.row());
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (event->key() == Qt::Key_Space && plain) {
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
      selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      ToggleCheckBox(current.row());
    }
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    emit customContextMenuRequested(KeyboardMenuPoint());
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Delete && plain) {
    emit DeleteRequested();
    event->accept();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain) {
    if (currentIndex().isValid()) emit RowActivated(currentIndex().row());
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

bool FileListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (index.isValid()) {
      const std::string& reason = list_.Model().Reason(index.row());
      QString text = index.data(Qt::DisplayRole).toString();
      if (!reason.empty()) text += '\n' + PathQString(reason);
      QToolTip::showText(help->globalPos(), WrapToWidth(text, QFontMetrics(QToolTip::font()), kToolTipWidth),
                         viewport(), visualRect(index));
      return true;
    }
  }
  return QTreeView::viewportEvent(event);
}

QPoint FileListView::KeyboardMenuPoint() const {
  const QRect row = visualRect(currentIndex());
  if (!row.isValid() || !viewport()->rect().intersects(row)) return {4, 4};
  return {row.left() + 4 * StatusIcons::kSize, row.bottom()};
}

bool FileListView::event(QEvent* event) {
  // The keyboard's context menu comes to the view with the mouse's place (X11) and in
  // the view's coordinates; the list's menu is opened at the current row, and always
  // from the viewport's coordinates, as a click opens it.
  if (event->type() == QEvent::ContextMenu &&
      static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard &&
      contextMenuPolicy() == Qt::CustomContextMenu) {
    emit customContextMenuRequested(KeyboardMenuPoint());
    event->accept();
    return true;
  }
  return QTreeView::event(event);
}

void FileListView::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  // With no row to draw the focus on, the list's own area shows it.
  if (!hasFocus() || model()->rowCount() > 0) return;
  QPainter painter(viewport());
  QStyleOptionFocusRect focus;
  focus.initFrom(viewport());
  focus.rect = viewport()->rect().adjusted(1, 1, -1, -1);
  focus.backgroundColor = viewport()->palette().color(QPalette::Base);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

bool FileListView::TakesDrop(const QMimeData* mime) const {
  if (mime == nullptr || isBuilding_() || !mime->hasUrls()) return false;
  const QList<QUrl> urls = mime->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (!TakesDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!TakesDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void FileListView::dropEvent(QDropEvent* event) {
  if (!TakesDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile());
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  emit PathsDropped(paths);
}

}  // namespace kelvory
