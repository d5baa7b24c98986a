#pragma once
// Room between a menu's shortcut texts ("Ctrl+.") and the menu's right edge, which
// some styles leave next to none of.
class QMenu;

namespace kelvory {

// From now on menu is drawn with that room; the menu keeps what does it.
void GiveShortcutsRoom(QMenu& menu);

}  // namespace kelvory
