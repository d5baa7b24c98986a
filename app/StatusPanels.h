#pragma once
// The status bar's four panels, drawn to end at 100, 225 and 450 pixels, the last one
// taking the rest of the bar. A panel whose text needs more room than it was drawn
// with grows and moves the next one's start along, so that no count is ever cut off;
// a panel keeps its drawn right edge while its own text fits there.
#include <QString>

#include <array>

class QLabel;
class QStatusBar;

namespace kelvory {

class StatusPanels {
 public:
  static constexpr int kCount = 4;

  StatusPanels(QStatusBar& bar, const std::array<QString, kCount>& texts);

  QString Text(int panel) const;
  void SetText(int panel, const QString& text);
  QLabel* Panel(int panel) const { return panels_.at(static_cast<std::size_t>(panel)); }

 private:
  void LayOut();

  QStatusBar& bar_;
  std::array<QLabel*, kCount> panels_{};
};

}  // namespace kelvory
