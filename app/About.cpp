#include "app/About.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/LayoutFont.h"
#include "app/Pictures.h"
#include "app/WindowText.h"
#include "platform/Program.h"

namespace kelvory {

namespace {

// The texts must fit the same boxes whatever the screen's resolution.
QFont DialogFont(int pixelSize) { return LayoutFont(QStringLiteral("DejaVu Sans Condensed"), pixelSize); }

// Substitute fonts differ in width: shrink the label's font until its widest line fits
// the label's fixed width, so that no line is cut off.
void FitFontToWidth(QLabel& label) {
  QFont font = label.font();
  const QStringList lines = label.text().split(u'\n');
  const auto widest = [&lines](const QFont& candidate) {
    const QFontMetrics metrics(candidate);
    int width = 0;
    for (const QString& line : lines) {
      width = std::max(width, metrics.horizontalAdvance(line));
    }
    return width;
  };
  while (widest(font) > label.width() && font.pixelSize() > 8) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  label.setFont(font);
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent, UrlOpener opener)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint),
      OKButton(new QPushButton(this)),
      Image1(new QLabel(this)),
      Label1(new QLabel(this)),
      Label2(new QLabel(this)),
      Label3(new QLabel(this)),
      FOpener(std::move(opener)) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QCoreApplication::translate("Kelvory", "О программе..."));
  setFixedSize(410, 369);
  setFont(DialogFont(11));
  setModal(true);

  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 411, 101);
  // Centred in a lower area, the logo loses its top and bottom rows equally.
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setPixmap(LogoPicture());
  Image1->setCursor(Qt::PointingHandCursor);
  Image1->installEventFilter(this);

  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(90, 128, 224, 20);
  Label1->setFont(DialogFont(16));
  Label1->setText(QCoreApplication::translate("Kelvory", "Генератор пирамид для TIFF"));
  FitFontToWidth(*Label1);

  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(10, 160, 391, 77);
  Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->move(10, 255);
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(109, 333, 200, 25);
  OKButton->setText(QStringLiteral("OK"));
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  // Only the button takes the keyboard focus, as the only focusable control.
  OKButton->setFocus();

  FormCreate();
}

void TAboutBox::FormCreate() {
  // Lines are broken with "\n": a label breaks its text only there.
  Label2->setText(QCoreApplication::translate("Kelvory",
                                              "Бесплатно распространяемая программа для построения пирамид в\n"
                                              "TIFF-файлах. Построение пирамид позволяет существенно увеличить\n"
                                              "скорость отображения растровой информации для крупных  масштабов в\n"
                                              "программах Torvel 6, Torvel Lite 2 и\n"
                                              "Torvel Viewer 3"));
  FitFontToWidth(*Label2);
  Label3->setText(QCoreApplication::translate("Kelvory",
                                              "Разработка:\n"
                                              "Андрей Северцев\n"
                                              "\n"
                                              "2006-2009, Varnok Company"));
  Label3->adjustSize();
}

void TAboutBox::Image1Click() {
  // The project's own page, as the main window's banner opens it.
  FOpener(HelpPdfUrlForProgram(platform::ProgramPath()));
}

void TAboutBox::reject() {
  // Only the close box gets here: Escape is the OK button's key.
  done(kCancelResult);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* desktop = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(desktop->availableGeometry().center());
    move(frame.topLeft());
  }
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && Image1->rect().contains(mouse->position().toPoint())) {
      Image1Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kelvory
