#include "app/ScreenFit.h"

#include <QBoxLayout>
#include <QEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace kelvory {

QSize ScrolledSize(QSize content, QSize room, int barExtent) {
  bool across = content.width() > room.width();
  bool down = content.height() + (across ? barExtent : 0) > room.height();
  // A vertical bar takes width, which may call for a horizontal one.
  across = content.width() + (down ? barExtent : 0) > room.width();
  down = content.height() + (across ? barExtent : 0) > room.height();
  return {std::min(content.width() + (down ? barExtent : 0), std::max(room.width(), barExtent * 3)),
          std::min(content.height() + (across ? barExtent : 0), std::max(room.height(), barExtent * 3))};
}

QPoint PlacedOnScreen(const QRect& frame, const QRect& available) {
  const int left = std::max(available.left(), std::min(frame.left(), available.right() + 1 - frame.width()));
  const int top = std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - frame.height()));
  return {left, top};
}

ScreenFit::ScreenFit(QWidget& window, QBoxLayout& layout, QWidget& client)
    : QObject(&window), window_(window), layout_(layout), client_(client) {
  window_.installEventFilter(this);
}

QMargins ScreenFit::Frame() const {
  const QRect frame = window_.frameGeometry();
  const QRect inner = window_.geometry();
  if (frame != inner)
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
  // Not known before the window manager has framed the window: a usual title bar.
  const int border = 4;
  return {border, window_.style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border};
}

bool ScreenFit::FrameChanged() const {
  // Under scaling the frame's sides round to a pixel either way as the window moves.
  const QMargins change = Frame() - fittedFrame_;
  return std::max({std::abs(change.left()), std::abs(change.top()), std::abs(change.right()),
                   std::abs(change.bottom())}) > 1;
}

void ScreenFit::FitTo(const QRect& available, bool centre) {
  fittedFrame_ = Frame();
  const QSize content = client_.size();
  // The window less its client area: the menu bar.
  const QWidget& shown = scroller_ != nullptr ? static_cast<QWidget&>(*scroller_) : client_;
  const int around = window_.height() - shown.height();
  const QSize room(available.width() - fittedFrame_.left() - fittedFrame_.right(),
                   available.height() - fittedFrame_.top() - fittedFrame_.bottom() - around);
  const bool fits = content.width() <= room.width() && content.height() <= room.height();
  if (fits && scroller_ != nullptr) {
    scroller_->takeWidget();
    layout_.replaceWidget(scroller_, &client_);
    client_.show();
    delete scroller_;
    scroller_ = nullptr;
  } else if (!fits) {
    if (scroller_ == nullptr) {
      scroller_ = new QScrollArea(&window_);
      scroller_->setFrameShape(QFrame::NoFrame);
      // Tab goes from control to control as before; the area scrolls to the one focused.
      scroller_->setFocusPolicy(Qt::NoFocus);
      scroller_->setWidgetResizable(false);
      layout_.replaceWidget(&client_, scroller_);
      scroller_->setWidget(&client_);
      scroller_->show();
    }
    const int bar = window_.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
    scroller_->setFixedSize(ScrolledSize(content, room, bar));
  }
  layout_.activate();
  window_.adjustSize();
  QRect frame(window_.geometry().topLeft() - QPoint(fittedFrame_.left(), fittedFrame_.top()),
              window_.size().grownBy(fittedFrame_));
  if (centre) frame.moveCenter(available.center());
  // Placed by its client area, which every platform takes alike before the frame is
  // known; a frame position may be taken as the client's there.
  window_.setGeometry(QRect(PlacedOnScreen(frame, available) + QPoint(fittedFrame_.left(), fittedFrame_.top()),
                            window_.size()));
}

void ScreenFit::FitToScreen(bool centre) {
  if (const QScreen* screen = window_.screen()) FitTo(screen->availableGeometry(), centre);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_) {
    switch (event->type()) {
      case QEvent::Show:
        if (!shown_) {
          shown_ = true;
          FitToScreen(true);
          if (QWindow* handle = window_.windowHandle())
            connect(handle, &QWindow::screenChanged, this, [this] { FitToScreen(false); });
        }
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowActivate:
        // The window manager has framed the window: its title bar may need other room.
        if (shown_ && window_.frameGeometry() != window_.geometry() && FrameChanged()) FitToScreen(false);
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kelvory
