#include "app/MessageBox.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "app/WindowText.h"

namespace kelvory {
namespace {

QString AndMore(qsizetype count, const NounForms& noun) {
  return QCoreApplication::translate("Kelvory", "и ещё ") + CountOf(count, noun);
}

// How many lines of text a box can show on the screen parent is on, with room for its
// title bar, margins and button.
int LinesThatFit(const QWidget* parent) {
  const QScreen* screen = parent != nullptr && parent->screen() != nullptr ? parent->screen()
                                                                           : QGuiApplication::primaryScreen();
  if (screen == nullptr) return 20;
  const int lineHeight = QFontMetrics(QGuiApplication::font()).lineSpacing();
  const int room = screen->availableGeometry().height() - 8 * lineHeight - 80;
  return std::clamp(room / std::max(lineHeight, 1), 5, 30);
}

}  // namespace

MessageText NamesMessage(const QString& head, const QStringList& names, int shown, const NounForms& noun) {
  const QString whole = head + "\n\n" + names.join(u'\n');
  if (names.size() <= shown) return {whole, {}};
  // A line saying "and one more" takes the room of the name itself.
  return {head + "\n\n" + names.first(shown).join(u'\n') + '\n' + AndMore(names.size() - shown, noun), whole};
}

MessageText LinesMessage(const QString& text, int maxLines) {
  const QStringList lines = text.split(u'\n');
  if (lines.size() <= maxLines) return {text, {}};
  const int kept = std::max(maxLines - 1, 1);
  return {lines.first(kept).join(u'\n') + '\n' + AndMore(lines.size() - kept, kLineNoun), text};
}

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const MessageText& message, bool selectable) {
  // Whatever made it, no text is taller than the screen.
  MessageText shown = LinesMessage(message.text, LinesThatFit(parent));
  if (!message.details.isEmpty()) shown.details = message.details;
  QMessageBox box(icon, QStringLiteral("Kelvory"), shown.text, QMessageBox::Ok, parent);
  if (selectable) box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  if (!shown.details.isEmpty()) box.setDetailedText(shown.details);
  box.setInformativeText(message.informative);
  box.exec();
}

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, bool selectable) {
  ShowMessageBox(parent, icon, MessageText{text, {}}, selectable);
}

}  // namespace kelvory
