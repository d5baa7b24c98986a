#pragma once
// The line that tells, once a build is over, how it went; in the place of the build's
// progress line. A click asks to take it away.
#include <QLabel>
#include <QString>

#include "pyramids/BuildSummary.h"

namespace kelvory {

class BuildSummaryLine final : public QLabel {
  Q_OBJECT

 public:
  explicit BuildSummaryLine(QWidget* parent = nullptr);

  // Shows what the build did; false, and nothing shown, when it settled no row.
  bool ShowSummary(const BuildSummary& summary);
  // The whole line, also where the place shows only its start.
  QString Summary() const { return summary_; }

 signals:
  void Dismissed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();

  QString summary_;
};

}  // namespace kelvory
