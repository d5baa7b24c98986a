#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "app/About.h"
#include "app/BuildSettingsMenu.h"
#include "app/Conv.h"
#include "app/FileListView.h"
#include "app/SystemCommand.h"
#include "filelist/FileList.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory {
namespace {

using test::Controls;

class ConvTest : public ::testing::Test {
 protected:
  ConvTest() {
    environment.listDialogs = &listDialogs;
    environment.folderDialog = &folderDialog;
    environment.openUrl = [this](const QUrl& url) { opened.push_back(url); };
    environment.showAbout = [this] { ++aboutShown; };
    environment.programPath = "/opt/kelvory/bin/kelvory";
  }

  test::AnsweringListDialogs listDialogs;
  test::AnsweringFolderDialog folderDialog;
  ConvEnvironment environment;
  std::vector<QUrl> opened;
  int aboutShown = 0;
};

// Every fixed text fits its control in the font that stands in for the original one.
TEST_F(ConvTest, StartsWithItsPanelsAndEveryTextFits) {
  TFConv window(environment);
  const char* panels[] = {"Varnok Company", "Файлов в списке: 0", "Выбрано: 0", "Версия 1.5"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(window.PanelText(i), QString::fromUtf8(panels[i]));

  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 12, button->width())
        << button->text().toStdString();
  }
  const auto panelFits = [&](int panel, const char* text) {
    auto* label = Controls(window).StatusBar->findChildren<QLabel*>()[panel];
    return label->fontMetrics().horizontalAdvance(QString::fromUtf8(text)) <=
           label->contentsRect().width() - label->indent();
  };
  EXPECT_TRUE(panelFits(0, "Varnok Company"));
  EXPECT_TRUE(panelFits(1, "Файлов в списке: 999"));
  EXPECT_TRUE(panelFits(2, "Выбрано: 999"));
  EXPECT_TRUE(panelFits(3, "Версия 1.5"));
  EXPECT_LE(Controls(window).GroupBox1->fontMetrics().horizontalAdvance(Controls(window).GroupBox1->title()), 340);

  // The list lies over the box but belongs to the window, so a build leaves it enabled.
  EXPECT_EQ(Controls(window).ListView_Files->parentWidget(), Controls(window).ClientArea);
  EXPECT_EQ(Controls(window).Button_Add->parentWidget(), Controls(window).GroupBox1);
}

// A count too long for its panel widens the panel instead of losing its last digits;
// the panels keep their drawn edges while their texts fit.
TEST_F(ConvTest, CountsOfAnySizeFitTheirPanels) {
  TFConv window(environment);
  const QList<QLabel*> panels = Controls(window).StatusBar->findChildren<QLabel*>();
  std::vector<std::string> paths;
  for (const int rows : {999, 10'000, 1'000'000}) {
    while (static_cast<int>(paths.size()) < rows) paths.push_back("/d/" + std::to_string(paths.size()) + ".tif");
    window.Files().AddFiles(paths);
    ASSERT_EQ(window.PanelText(1), QString::fromUtf8("Файлов в списке: ") + QString::number(rows));
    ASSERT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: ") + QString::number(rows));
    int left = 0;
    for (QLabel* panel : panels) {
      EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width() - panel->indent())
          << panel->text().toStdString();
      EXPECT_GE(panel->x(), left) << panel->text().toStdString();
      left = panel->geometry().right() + 1;
    }
    EXPECT_EQ(left, Controls(window).StatusBar->width());
    EXPECT_EQ(panels[2]->geometry().right() + 1, 448) << rows;
    if (rows == 999) {
      EXPECT_EQ(panels[1]->geometry().right() + 1, 223);
    }
  }
}

TEST_F(ConvTest, WindowIsFixedWithTheHelpMenuAtTheRight) {
  TFConv window(environment);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 2000));
  EXPECT_EQ(Controls(window).ClientArea->geometry(),
            QRect(0, Controls(window).MainMenu1->height(), TFConv::kClientWidth, TFConv::kClientHeight));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.height(), Controls(window).MainMenu1->height() + TFConv::kClientHeight);
  EXPECT_FALSE(window.windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

  QWidget* helpBar = Controls(window).MainMenu1->cornerWidget(Qt::TopRightCorner);
  ASSERT_NE(helpBar, nullptr);
  EXPECT_GT(helpBar->geometry().left(), window.width() / 2);
  EXPECT_GE(helpBar->geometry().right(), Controls(window).MainMenu1->width() - 8);
}

// Every control with its parent, place, caption and hint.
TEST_F(ConvTest, ControlsHaveTheirCaptionsHintsAndPlaces) {
  TFConv window(environment);
  struct Control {
    QWidget* widget;
    QWidget* parent;
    QRect geometry;
    const char* caption;
    const char* hint;
  };
  QWidget* box = Controls(window).GroupBox1;
  QWidget* client = Controls(window).ClientArea;
  const Control controls[] = {
      {Controls(window).Button_Build, client, {10, 488, 371, 41}, "Построить",
       "Построить пирамиды для отмеченых файлов"},
      {Controls(window).GroupBox1, client, {10, 5, 371, 478}, " Файлы для конвертирования ", ""},
      {Controls(window).Button_Add, box, {10, 383, 111, 25}, "Добавить",
       "Добавить в список файлы, для которых требуется построить пирамиды"},
      {Controls(window).Button_Delete, box, {130, 383, 111, 25}, "Удалить", "Удалить выделенный файл из списка"},
      {Controls(window).Button_Load, box, {10, 413, 171, 25}, "Загрузить из файла", "Загрузить список из файла"},
      {Controls(window).Button_Clear, box, {250, 383, 111, 25}, "Очистить", "Очистить список"},
      {Controls(window).Button_Save, box, {190, 413, 171, 25}, "Сохранить в файл", "Сохранить список в файл"},
      {Controls(window).Button_SelectFolder, box, {10, 443, 351, 25}, "Папка назначения",
       "Выбрать папку назначения"},
      {Controls(window).ListView_Files, client, {20, 23, 351, 357}, "", ""},
      {Controls(window).Image1, client, {388, 9, 130, 520}, "", "Открыть справку Kelvory (kelvory.pdf)"},
      {Controls(window).StatusBar, client, {0, 538, 524, 20}, "", ""},
  };
  for (const Control& c : controls) {
    SCOPED_TRACE(c.caption);
    EXPECT_EQ(c.widget->parentWidget(), c.parent);
    EXPECT_EQ(c.widget->geometry(), c.geometry);
    EXPECT_EQ(c.widget->toolTip(), QString::fromUtf8(c.hint));
    if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
      EXPECT_EQ(button->text(), QString::fromUtf8(c.caption));
    }
  }
  EXPECT_EQ(Controls(window).GroupBox1->title(), QString::fromUtf8(" Файлы для конвертирования "));
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Генератор пирамид для TIFF"));
  EXPECT_EQ(Controls(window).Image1->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(Controls(window).Image1->focusPolicy(), Qt::NoFocus);

  // The "?" menu: help on F1, a separator, then About.
  EXPECT_EQ(Controls(window).N1->title(), QStringLiteral("?"));
  const QList<QAction*> items = Controls(window).N1->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), QString::fromUtf8("Помощь"));
  EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2]->text(), QString::fromUtf8("О программе..."));
  const QList<QAction*> system = Controls(window).SystemMenu->actions();
  ASSERT_EQ(system.size(), 3);
  EXPECT_TRUE(system[0]->isSeparator());
  EXPECT_EQ(system[1]->text(), QString::fromUtf8("Помощь"));
  EXPECT_EQ(system[2]->text(), QString::fromUtf8("О программе..."));
}

// Qt appends an application display name to every window caption ("... — Kelvory" on
// X11), so none is set: captions read exactly as given, message boxes set their own.
TEST_F(ConvTest, CaptionsGetNoApplicationNameAppended) {
  const QString name = QCoreApplication::applicationName();
  EXPECT_EQ(name, QStringLiteral("Kelvory"));
  QCoreApplication::setApplicationName(QStringLiteral("probe"));
  const QString displayed = QGuiApplication::applicationDisplayName();
  QCoreApplication::setApplicationName(name);
  EXPECT_EQ(displayed, QStringLiteral("probe"));
}

TEST_F(ConvTest, TabOrderRunsFromBuildThroughTheBoxToTheList) {
  TFConv window(environment);
  const std::vector<QWidget*> expected = {
      Controls(window).Button_Build, Controls(window).Button_Add,  Controls(window).Button_Delete,       Controls(window).Button_Load,
      Controls(window).Button_Clear, Controls(window).Button_Save, Controls(window).Button_SelectFolder, Controls(window).ListView_Files,
      Controls(window).Button_Build};
  std::vector<QWidget*> order = {Controls(window).Button_Build};
  for (QWidget* w = Controls(window).Button_Build->nextInFocusChain(); order.size() < expected.size();
       w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) order.push_back(w);
  }
  EXPECT_EQ(order, expected);
}

TEST_F(ConvTest, DestinationFolderFollowsCompletedChoicesOnly) {
  TFConv window(environment);
  window.show();
  const QString folder = QString::fromUtf8("/tmp/карты и снимки/выход");

  QTest::mouseClick(Controls(window).Button_SelectFolder, Qt::LeftButton);  // cancelled
  EXPECT_EQ(folderDialog.lastPrompt, QString::fromUtf8("Выберите папку назначения"));
  EXPECT_TRUE(window.DestFolder().empty());
  EXPECT_EQ(Controls(window).Button_SelectFolder->text(), QString::fromUtf8("Папка назначения"));

  folderDialog.answers.push_back(folder);
  QTest::mouseClick(Controls(window).Button_SelectFolder, Qt::LeftButton);
  // Shown and kept with the system's own separators.
  const QString shown = QDir::toNativeSeparators(folder);
  EXPECT_FALSE(window.DestFolder().empty());
  EXPECT_EQ(window.DestFolder(), shown.toStdString());
  EXPECT_EQ(Controls(window).Button_SelectFolder->text(), shown);

  QTest::mouseClick(Controls(window).Button_SelectFolder, Qt::LeftButton);  // cancelled again
  EXPECT_FALSE(window.DestFolder().empty());
  EXPECT_EQ(window.DestFolder(), shown.toStdString());
  EXPECT_EQ(Controls(window).Button_SelectFolder->text(), shown);
}

TEST_F(ConvTest, EscapeClosesTheWindowWhereverTheFocusIs) {
  for (const bool listFocused : {true, false}) {
    TFConv window(environment);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
    QWidget* target = listFocused ? static_cast<QWidget*>(Controls(window).ListView_Files)
                                  : static_cast<QWidget*>(Controls(window).Button_Save);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(target, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible()) << listFocused;
  }
}

TEST_F(ConvTest, HelpBannerAndAboutReachTheirTargets) {
  TFConv window(environment);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 2000));

  QTest::keyClick(Controls(window).ListView_Files, Qt::Key_F1);
  Controls(window).Help1->trigger();
  QTest::mouseClick(Controls(window).Image1, Qt::LeftButton);
  Controls(window).About1->trigger();

  const QUrl helpPdf = QUrl::fromLocalFile("/opt/kelvory/bin/kelvory.pdf");
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0], helpPdf);
  EXPECT_EQ(opened[1], helpPdf);
  EXPECT_EQ(opened[2], helpPdf);  // the project's own page is its installed help
  EXPECT_EQ(aboutShown, 1);
}

// The window-menu commands come as events through the application: 100 opens help.pdf
// of the current folder, 101 the About box, and the events go on to their receivers.
TEST_F(ConvTest, WindowMenuCommandsGoThroughTheApplication) {
  QTemporaryDir current;
  ASSERT_TRUE(current.isValid());
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(current.path()));
  TFConv window(environment);

  window.show();
  // Offered on the free area and the status bar, not on the controls.
  const auto menuShownFor = [&](QWidget* widget) {
    const QPoint at(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    const bool shown = Controls(window).SystemMenu->isVisible();
    Controls(window).SystemMenu->hide();
    return shown;
  };
  EXPECT_TRUE(menuShownFor(Controls(window).ClientArea));
  EXPECT_TRUE(menuShownFor(Controls(window).StatusBar->findChildren<QLabel*>()[2]));
  EXPECT_FALSE(menuShownFor(Controls(window).Button_Save));
  EXPECT_FALSE(menuShownFor(Controls(window).ListView_Files->viewport()));

  ASSERT_EQ(Controls(window).SystemMenu->actions().size(), 3);
  Controls(window).SystemMenu->actions()[1]->trigger();
  Controls(window).SystemMenu->actions()[2]->trigger();
  EXPECT_TRUE(opened.empty());  // posted, not yet handled
  QCoreApplication::processEvents();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(current.filePath("help.pdf")));
  EXPECT_EQ(aboutShown, 1);

  struct Receiver : QObject {
    int seen = 0;
    bool event(QEvent* e) override {
      if (e->type() == SystemCommandEvent::EventType()) ++seen;
      return QObject::event(e);
    }
  } receiver;
  const int commands[] = {kSystemCommandHelp, kSystemCommandAbout, 102, 99};
  for (int command : commands) {
    SystemCommandEvent event(command);
    QCoreApplication::sendEvent(&receiver, &event);
  }
  EXPECT_EQ(receiver.seen, 4);
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_EQ(aboutShown, 2);
  QDir::setCurrent(previous);
}

// What the mouse reaches the keyboard reaches too: the "?" menu from the menu bar, the
// list's menu, and removing a row.
TEST_F(ConvTest, KeyboardReachesTheHelpMenuTheListMenuAndDelete) {
  listDialogs.addAnswers.push_back(std::vector<std::string>{"/maps/a.tif", "/maps/b.tif"});
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  Controls(window).MainMenu1->setActiveAction(Controls(window).SettingsMenu->menuAction());
  QApplication::processEvents();
  ASSERT_EQ(QApplication::activePopupWidget(), Controls(window).SettingsMenu);
  QTest::keyClick(Controls(window).SettingsMenu, Qt::Key_Right);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activePopupWidget(), Controls(window).N1);
  QTest::keyClick(Controls(window).N1, Qt::Key_Left);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activePopupWidget(), Controls(window).SettingsMenu);
  Controls(window).SettingsMenu->close();
  QApplication::processEvents();

  Controls(window).ListView_Files->setCurrentIndex(Controls(window).ListView_Files->model()->index(1, 0));
  QTest::keyClick(Controls(window).ListView_Files, Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_TRUE(Controls(window).ListMenu->isVisible());
  Controls(window).ListMenu->close();

  QTest::keyClick(Controls(window).ListView_Files, Qt::Key_Delete);
  EXPECT_EQ(window.Files().Model().rowCount(), 1);
  EXPECT_EQ(window.Files().Model().Caption(0), "/maps/a.tif");
}

TEST_F(ConvTest, AboutBoxFromBothMenusIsTheSameDialog) {
  environment.showAbout = nullptr;
  TFConv window(environment);
  TAboutBox about(nullptr, [](const QUrl&) {});
  window.SetAboutBox(&about);
  window.show();

  std::vector<QString> texts;
  std::vector<QWidget*> shown;
  const auto record = [&](QWidget* modal) {
    shown.push_back(modal);
    texts.push_back(about.Label2->text() + about.Label3->text());
  };
  // Escape ends the About box, not the main window behind it.
  test::AnswerNextModal([&](QWidget* modal) {
    record(modal);
    QTest::keyClick(about.OKButton, Qt::Key_Escape);
  });
  Controls(window).About1->trigger();
  EXPECT_TRUE(window.isVisible());
  test::AnswerNextModal(record);
  Controls(window).About1->trigger();
  test::AnswerNextModal(record);
  PostSystemCommand(kSystemCommandAbout);
  QCoreApplication::processEvents();

  ASSERT_EQ(shown.size(), 3u);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i], &about);
    EXPECT_EQ(texts[i], texts[0]);
  }
  EXPECT_FALSE(texts[0].isEmpty());
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace kelvory
