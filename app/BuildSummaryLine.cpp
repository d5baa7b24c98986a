#include "app/BuildSummaryLine.h"

#include <QMouseEvent>

#include "app/BuildSummaryText.h"
#include "app/WindowText.h"

namespace kelvory {

BuildSummaryLine::BuildSummaryLine(QWidget* parent) : QLabel(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setAlignment(Qt::AlignCenter);
  setCursor(Qt::PointingHandCursor);
  hide();
}

bool BuildSummaryLine::ShowSummary(const BuildSummary& summary) {
  summary_ = QString::fromStdString(SummaryLine(summary));
  if (summary_.isEmpty()) {
    hide();
    return false;
  }
  setToolTip(QString::fromStdString(SummaryDetails(summary)) +
             QCoreApplication::translate("Kelvory",
                                         "\n\nF8: следующий файл с ошибкой, не найденный или остановленный."
                                         "\nЩелчок убирает эту строку."));
  Elide();
  show();
  return true;
}

void BuildSummaryLine::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  emit Dismissed();
}

void BuildSummaryLine::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void BuildSummaryLine::Elide() {
  setText(fontMetrics().elidedText(summary_, Qt::ElideRight, contentsRect().width() - 4));
}

}  // namespace kelvory
