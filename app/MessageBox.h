#pragma once
// The window's message boxes: captioned "Kelvory", one OK button, and never taller
// than the screen. A long list of names shows its first few and how many more; the
// whole text is then in the box's details, where it can be selected and copied.
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "app/RussianPlural.h"

namespace kelvory {

struct MessageText {
  QString text;
  // The whole text where text is shortened, else empty.
  QString details;
  // More about it, under the text (where something was looked for); may be empty.
  QString informative;
};

// head, a blank line and the names, of which at most shown are named and the rest
// counted ("и ещё 72 файла").
MessageText NamesMessage(const QString& head, const QStringList& names, int shown, const NounForms& noun);

// text cut to its first maxLines lines, the rest counted ("и ещё 40 строк").
MessageText LinesMessage(const QString& text, int maxLines);

// Shows the message modally over parent. selectable: the text can be selected with
// the mouse and the keyboard, to be copied.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const MessageText& message, bool selectable = true);
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, bool selectable = true);

}  // namespace kelvory
