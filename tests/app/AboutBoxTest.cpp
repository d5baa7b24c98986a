#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/About.h"
#include "app/Pictures.h"
#include "app/Shell.h"
#include "platform/Program.h"

namespace kelvory {
namespace {

const QString kLabel2 = QStringLiteral(
    "Бесплатно распространяемая программа для построения пирамид в\n"
    "TIFF-файлах. Построение пирамид позволяет существенно увеличить\n"
    "скорость отображения растровой информации для крупных  масштабов в\n"
    "программах Torvel 6, Torvel Lite 2 и\n"
    "Torvel Viewer 3");

struct AboutBox : ::testing::Test {
  std::vector<QUrl> opened;
  TAboutBox box{nullptr, [this](const QUrl& url) { opened.push_back(url); }};

  // Runs the box modally; `whileShown` acts on it from inside its own event loop.
  int ExecWith(std::function<void()> whileShown) {
    QTimer::singleShot(0, &box, [whileShown] { whileShown(); });
    // A box that something failed to close must not hang the test.
    QTimer::singleShot(5000, &box, [this] { box.done(-1); });
    return box.exec();
  }
};

TEST_F(AboutBox, ShowsTheFixedTextsAndLayout) {
  EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе..."));
  EXPECT_EQ(box.size(), QSize(410, 369));
  EXPECT_EQ(box.minimumSize(), box.maximumSize());
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(box.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(box.palette().color(QPalette::Window), QColor(Qt::white));

  EXPECT_EQ(box.Image1->geometry(), QRect(0, 0, 411, 101));
  EXPECT_EQ(box.Image1->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(box.Label1->geometry(), QRect(90, 128, 224, 20));
  EXPECT_EQ(box.Label1->text(), QStringLiteral("Генератор пирамид для TIFF"));
#ifdef _WIN32
  // Smaller only where the stand-in font of the Windows tests is too wide for the label.
  EXPECT_LE(box.Label1->font().pixelSize(), 16);
  EXPECT_GE(box.Label1->font().pixelSize(), 12);
#else
  EXPECT_EQ(box.Label1->font().pixelSize(), 16);
#endif
  EXPECT_EQ(box.Label2->geometry(), QRect(10, 160, 391, 77));
  EXPECT_EQ(box.Label2->text(), kLabel2);
  EXPECT_EQ(box.Label2->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(box.Label3->pos(), QPoint(10, 255));
  EXPECT_EQ(box.Label3->text(), QStringLiteral("Разработка:\nАндрей Северцев\n\n2006-2009, Varnok Company"));
  EXPECT_EQ(box.OKButton->geometry(), QRect(109, 333, 200, 25));
  EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
  EXPECT_TRUE(box.OKButton->isDefault());
}

TEST_F(AboutBox, EveryTextFitsItsBox) {
  const QFontMetrics label1(box.Label1->font());
  EXPECT_LE(label1.horizontalAdvance(box.Label1->text()), box.Label1->width());
  EXPECT_LE(label1.height(), box.Label1->height());

  const QFontMetrics label2(box.Label2->font());
  for (const QString& line : box.Label2->text().split(u'\n')) {
    EXPECT_LE(label2.horizontalAdvance(line), box.Label2->width()) << line.toStdString();
  }
  EXPECT_LE(label2.lineSpacing() * 5, box.Label2->height());

  // Fitted to its text, and clear of the button below it.
  const QFontMetrics label3(box.Label3->font());
  for (const QString& line : box.Label3->text().split(u'\n')) {
    EXPECT_LE(label3.horizontalAdvance(line), box.Label3->width()) << line.toStdString();
  }
  EXPECT_GE(box.Label3->height(), label3.lineSpacing() * 4);
  EXPECT_LT(box.Label3->geometry().bottom(), box.OKButton->y());
}

TEST_F(AboutBox, LogoIsCentredWithItsTopAndBottomRowsCut) {
  const QImage shown = box.Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage logo = LogoPicture().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), QSize(411, 101));
  ASSERT_EQ(logo.size(), QSize(250, 137));
  const int left = (411 - 250) / 2;
  int differing = 0;
  for (int y = 0; y < 101; ++y) {
    for (int x = 0; x < 250; ++x) {
      differing += shown.pixel(left + x, y) != logo.pixel(x, y + 18);
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(AboutBox, EveryWayToEndItGivesItsResult) {
  struct Case {
    const char* name;
    std::function<void(TAboutBox&)> end;
    int result;
  };
  const Case cases[] = {
      {"OK button", [](TAboutBox& b) { QTest::mouseClick(b.OKButton, Qt::LeftButton); }, QDialog::Accepted},
      {"Enter", [](TAboutBox& b) { QTest::keyClick(b.OKButton, Qt::Key_Return); }, QDialog::Accepted},
      {"Escape", [](TAboutBox& b) { QTest::keyClick(b.OKButton, Qt::Key_Escape); }, QDialog::Accepted},
      {"Shift+Escape", [](TAboutBox& b) { QTest::keyClick(b.OKButton, Qt::Key_Escape, Qt::ShiftModifier); },
       QDialog::Accepted},
      {"close box", [](TAboutBox& b) { b.close(); }, TAboutBox::kCancelResult},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExecWith([&] { c.end(box); }), c.result) << c.name;
    EXPECT_FALSE(box.isVisible()) << c.name;
  }
}

// A dialog with a parent would be placed over it; this one belongs in the middle of
// the desktop wherever the main window is.
TEST(AboutBoxInWindow, IsCentredOnTheDesktopNotOnItsWindow) {
  QWidget window;
  window.setGeometry(10, 10, 200, 150);
  window.show();
  TAboutBox box(&window, [](const QUrl&) {});
  QPoint centre;
  QTimer::singleShot(0, &box, [&] {
    centre = box.frameGeometry().center();
    box.accept();
  });
  QTimer::singleShot(5000, &box, [&] { box.done(-1); });
  box.exec();
  const QPoint desktop = box.screen()->availableGeometry().center();
  EXPECT_LE((centre - desktop).manhattanLength(), 2);
}

TEST(AboutBoxInWindow, EscapeClosesTheBoxButNotItsWindow) {
  QWidget window;
  window.show();
  TAboutBox box(&window, [](const QUrl&) {});
  QTimer::singleShot(0, &box, [&] { QTest::keyClick(box.OKButton, Qt::Key_Escape); });
  QTimer::singleShot(5000, &box, [&] { box.done(-1); });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(box.isVisible());
}

TEST_F(AboutBox, ShownTwiceIsTheSameBoxWithTheSameTexts) {
  QLabel* const label2 = box.Label2;
  QStringList first;
  ExecWith([&] {
    first = {box.Label1->text(), box.Label2->text(), box.Label3->text()};
    box.accept();
  });
  QStringList second;
  ExecWith([&] {
    second = {box.Label1->text(), box.Label2->text(), box.Label3->text()};
    box.accept();
  });
  EXPECT_EQ(first, second);
  EXPECT_EQ(second.at(1), kLabel2);
  EXPECT_EQ(box.Label2, label2);
  EXPECT_EQ(box.findChildren<QLabel*>().size(), 4);
}

TEST_F(AboutBox, ClickOnTheLogoOpensTheProjectsPageAndLeavesTheBoxOpen) {
  bool openAfterClick = false;
  const int result = ExecWith([&] {
    QTest::mouseClick(box.Image1, Qt::LeftButton, {}, QPoint(200, 50));
    openAfterClick = box.isVisible();
    // The right button does not follow the link.
    QTest::mouseClick(box.Image1, Qt::RightButton, {}, QPoint(200, 50));
    box.accept();
  });
  EXPECT_TRUE(openAfterClick);
  EXPECT_EQ(result, QDialog::Accepted);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened.front(), HelpPdfUrlForProgram(platform::ProgramPath()));
}

}  // namespace
}  // namespace kelvory
