#pragma once
// A window of a fixed layout on a screen too small for it. Where the layout fits, the
// window is exactly as drawn. Where it does not (high scaling on a small screen), its
// client area keeps its size and places inside a scroll area that takes the room the
// screen leaves, and the window is moved wholly onto the screen, its title bar in
// reach. The fit is made again when the window manager tells the frame's size and
// when the window goes to another screen.
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QBoxLayout;
class QScrollArea;
class QWidget;

namespace kelvory {

// The size of what shows content in room: content itself where it fits, else no more
// than room, with scroll bars barExtent thick where they are needed.
QSize ScrolledSize(QSize content, QSize room, int barExtent);

// Where a frame's top-left corner goes so that it lies on available: where it is if it
// already does, else moved in; a frame larger than available keeps its top-left corner
// (the title bar) on it.
QPoint PlacedOnScreen(const QRect& frame, const QRect& available);

class ScreenFit final : public QObject {
  Q_OBJECT

 public:
  // client is the item of layout that holds the window's fixed client area; the window
  // is centred on its screen when first shown.
  ScreenFit(QWidget& window, QBoxLayout& layout, QWidget& client);

  // Fits the window to a screen's available area and moves it onto it (centred when
  // centre), as showing it on that screen does.
  void FitTo(const QRect& available, bool centre);
  // The scroll area round the client area, or none while the client area fits.
  QScrollArea* Scroller() const { return scroller_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The frame round the window's client area, or an estimate while the window manager
  // has not told it.
  QMargins Frame() const;
  bool FrameChanged() const;
  void FitToScreen(bool centre);

  QWidget& window_;
  QBoxLayout& layout_;
  QWidget& client_;
  QScrollArea* scroller_ = nullptr;
  bool shown_ = false;
  QMargins fittedFrame_;
};

}  // namespace kelvory
