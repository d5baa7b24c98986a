#include "app/MenuShortcutRoom.h"

#include <QMenu>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace kelvory {
namespace {

// Widens every item by the room and draws the shortcut column as that much wider, so
// the shortcuts move away from the edge and the captions keep their place.
class ShortcutRoomStyle final : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        type == CT_MenuItem && item != nullptr && item->reservedShortcutWidth > 0)
      result.rwidth() += Room(*option);
    return result;
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        element == CE_MenuItem && item != nullptr && item->reservedShortcutWidth > 0) {
      QStyleOptionMenuItem roomy(*item);
      roomy.reservedShortcutWidth += Room(*option);
      QProxyStyle::drawControl(element, &roomy, painter, widget);
      return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }

 private:
  static int Room(const QStyleOption& option) { return 2 * option.fontMetrics.averageCharWidth(); }
};

}  // namespace

void GiveShortcutsRoom(QMenu& menu) {
  auto* style = new ShortcutRoomStyle;
  style->setParent(&menu);
  menu.setStyle(style);
}

}  // namespace kelvory
