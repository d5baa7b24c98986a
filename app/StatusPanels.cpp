#include "app/StatusPanels.h"

#include <QLabel>
#include <QStatusBar>

#include <algorithm>

namespace kelvory {
namespace {

// Where the panels but the last were drawn to end, and the gap before the next one.
constexpr int kDrawnRight[StatusPanels::kCount - 1] = {100, 225, 450};
constexpr int kGap = 2;

}  // namespace

StatusPanels::StatusPanels(QStatusBar& bar, const std::array<QString, kCount>& texts) : bar_(bar) {
  for (int i = 0; i < kCount; ++i) {
    auto* panel = new QLabel(texts[static_cast<std::size_t>(i)], &bar_);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(1);
    panels_[static_cast<std::size_t>(i)] = panel;
  }
  panels_.back()->setAlignment(Qt::AlignCenter);
  LayOut();
}

QString StatusPanels::Text(int panel) const { return Panel(panel)->text(); }

void StatusPanels::SetText(int panel, const QString& text) {
  if (Panel(panel)->text() == text) return;
  Panel(panel)->setText(text);
  LayOut();
}

void StatusPanels::LayOut() {
  int left = 0;
  for (int i = 0; i < kCount; ++i) {
    QLabel* panel = panels_[static_cast<std::size_t>(i)];
    const int needed = panel->sizeHint().width();
    int width = 0;
    if (i + 1 < kCount) {
      width = std::max(kDrawnRight[i] - kGap - left, needed);
    } else {
      width = std::max(bar_.width() - left, needed);
    }
    panel->setGeometry(left, 2, width, 18);
    left += width + kGap;
  }
}

}  // namespace kelvory
