#include <gtest/gtest.h>

#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include "app/Conv.h"
#include "app/ScreenFit.h"
#include "tests/app/WindowControls.h"

namespace kelvory {
namespace {

using test::Controls;

TEST(ScreenFitTest, ScrollsOnlyWhatTheRoomCannotHold) {
  const QSize content(524, 558);
  struct Case {
    QSize room;
    QSize expected;
  } cases[] = {
      {{1366, 700}, {524, 558}},  // fits: as drawn
      {{524, 558}, {524, 558}},   // fits exactly
      {{675, 330}, {538, 330}},   // too low: a vertical bar beside the full width
      {{530, 330}, {530, 330}},   // too low, and then too narrow for the bar too
      {{400, 700}, {400, 572}},   // too narrow: a horizontal bar under the full height
      {{20, 20}, {42, 42}},       // never smaller than its scroll bars can work in
  };
  for (const Case& c : cases) EXPECT_EQ(ScrolledSize(content, c.room, 14), c.expected) << c.room.width() << "x" << c.room.height();
}

TEST(ScreenFitTest, PutsTheFrameOnTheScreenTitleBarFirst) {
  const QRect screen(0, 0, 683, 384);
  struct Case {
    QRect frame;
    QPoint expected;
  } cases[] = {
      {{10, 20, 300, 200}, {10, 20}},      // on the screen: stays
      {{-50, -192, 300, 200}, {0, 0}},     // above and left: moved in
      {{600, 300, 300, 200}, {383, 184}},  // below and right: moved in
      {{0, -192, 540, 1200}, {0, 0}},      // taller than the screen: its top on it
  };
  for (const Case& c : cases) EXPECT_EQ(PlacedOnScreen(c.frame, screen), c.expected);
}

// On a small screen the whole window lies on it and every control can be scrolled to;
// on a screen with room the window is as drawn again.
TEST(ScreenFitTest, WindowScrollsOnASmallScreenAndNotOnABigOne) {
  TFConv window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 2000));
  auto* fit = window.findChild<ScreenFit*>();
  ASSERT_NE(fit, nullptr);

  const QRect small(0, 0, 683, 384);
  fit->FitTo(small, true);
  ASSERT_NE(fit->Scroller(), nullptr);
  EXPECT_TRUE(small.contains(QRect(window.pos(), window.size())));
  QScrollArea* scroller = fit->Scroller();
  scroller->ensureWidgetVisible(Controls(window).StatusBar);
  EXPECT_EQ(scroller->verticalScrollBar()->value(), scroller->verticalScrollBar()->maximum());
  EXPECT_GT(scroller->verticalScrollBar()->maximum(), 0);

  fit->FitTo(QRect(0, 0, 1366, 768), true);
  EXPECT_EQ(fit->Scroller(), nullptr);
  EXPECT_EQ(Controls(window).ClientArea->parentWidget(), &window);
  EXPECT_EQ(window.height(), Controls(window).MainMenu1->height() + TFConv::kClientHeight);
}

}  // namespace
}  // namespace kelvory
