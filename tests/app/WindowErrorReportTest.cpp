#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/Conv.h"
#include "app/ErrorReport.h"
#include "filelist/FileList.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory {
namespace {

using test::Controls;

TEST(ErrorReportText, AddsFullStopOnlyAfterCharactersAboveIt) {
  struct Case {
    const char* message;
    const char* shown;
  };
  const Case cases[] = {
      {"", ""},
      {"Ошибка чтения файла.", "Ошибка чтения файла."},
      {"gdaladdo.exe не найден", "gdaladdo.exe не найден."},
      {"Произошла какая-то ошибка!..", "Произошла какая-то ошибка!.."},
      {"Done!", "Done!"},           // '!' lies below '.'
      {"a (b)", "a (b)"},           // so does ')'
      {"at \"/x\"", "at \"/x\""},   // and '"'
      {"trailing -", "trailing -"}, // and '-'
      {"a/", "a/."},                // '/' lies just above
      {"code 7", "code 7."},
      {"ends in space ", "ends in space "},
      {"Ж", "Ж."},                  // a Cyrillic letter, compared as one code point
      {"\xE2\x80\xA6", "\xE2\x80\xA6."},  // an ellipsis character is not a full stop
      {"\xD0", "\xD0."},            // a broken tail counts as its byte
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorReportText(c.message), c.shown) << c.message;
}

// A list file that cannot be opened: the error leaves the command, the report shows
// it, the list stays as it was and the program goes on.
TEST(WindowErrorReport, EscapedErrorIsReportedAndTheWindowGoesOn) {
  test::AnsweringListDialogs dialogs;
  dialogs.addAnswers.push_back(std::vector<std::string>{"/data/a.tif"});
  dialogs.loadAnswers.push_back(std::string("/nonexistent-kelvory/list.txt"));
  ConvEnvironment environment;
  environment.listDialogs = &dialogs;
  environment.openUrl = [](const QUrl&) {};
  TFConv window(environment);
  window.show();
  QTest::mouseClick(Controls(window).Button_Add, Qt::LeftButton);

  QString title;
  QString text;
  int icon = -1;
  test::AnswerNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
  });
  QTest::mouseClick(Controls(window).Button_Load, Qt::LeftButton);

  EXPECT_EQ(title, "Kelvory");
  EXPECT_EQ(icon, QMessageBox::Critical);
#ifdef _WIN32
  // In Windows' own words, which the Windows tests of the files check.
  const QString opening = "Cannot open file \"/nonexistent-kelvory/list.txt\". ";
  const QString cause = text.mid(opening.size());
  EXPECT_TRUE(text.startsWith(opening)) << text.toStdString();
  EXPECT_TRUE(cause.size() > 1 && cause.endsWith('.') && cause != "No such file or directory.") << text.toStdString();
#else
  EXPECT_EQ(text, "Cannot open file \"/nonexistent-kelvory/list.txt\". No such file or directory.");
#endif
  EXPECT_EQ(window.Files().Model().rowCount(), 1);
  EXPECT_EQ(window.PanelText(1), QString::fromUtf8("Файлов в списке: 1"));

  QTest::mouseClick(Controls(window).Button_Clear, Qt::LeftButton);
  EXPECT_EQ(window.Files().Model().rowCount(), 0);
  EXPECT_EQ(window.PanelText(2), QString::fromUtf8("Выбрано: 0"));
}

// The application object brings Qt's own dialog texts into the window's language.
TEST(WindowApplication, QtDialogsSpeakRussian) {
  const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!QFileInfo::exists(translations + "/qtbase_ru.qm")) GTEST_SKIP() << "no qtbase_ru.qm";
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text(), QString::fromUtf8("&Открыть"));
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("Отмена"));
  auto* fileNameLabel = dialog.findChild<QLabel*>("fileNameLabel");
  ASSERT_NE(fileNameLabel, nullptr);
  EXPECT_EQ(fileNameLabel->text(), QString::fromUtf8("&Имя файла:"));
}

}  // namespace
}  // namespace kelvory
