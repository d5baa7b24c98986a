// The window speaks the language the locale names: English where it names another
// language than Russian, the described Russian where it names none.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <optional>

#include "app/BuildSettingsMenu.h"
#include "app/Conv.h"
#include "app/KelvoryApplication.h"
#include "pyramids/LanguageChoice.h"
#include "tests/app/WindowControls.h"
#include "tests/app/WindowTestSupport.h"

namespace kelvory {
namespace {

using test::Controls;

constexpr const char* kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

// Sets the locale variables for as long as it lives, and the application's language as
// the program decides it at its start; then puts both back.
class LocaleScope {
 public:
  explicit LocaleScope(const std::map<std::string, std::string>& locale) {
    for (const char* name : kLocaleVariables) {
      if (qEnvironmentVariableIsSet(name)) saved_[name] = qgetenv(name);
      const auto value = locale.find(name);
      if (value == locale.end()) {
        qunsetenv(name);
      } else {
        qputenv(name, QByteArray::fromStdString(value->second));
      }
    }
    Application().SetLanguage(UserLanguage(Language::Russian));
  }
  ~LocaleScope() {
    for (const char* name : kLocaleVariables) {
      if (const auto value = saved_.find(name); value != saved_.end()) {
        qputenv(name, value->second);
      } else {
        qunsetenv(name);
      }
    }
    // Back to the language the other tests expect.
    Application().SetLanguage(Language::Russian);
  }

 private:
  static KelvoryApplication& Application() { return *static_cast<KelvoryApplication*>(QCoreApplication::instance()); }
  std::map<std::string, QByteArray> saved_;
};

struct Captions {
  const char* build;
  const char* add;
  const char* settingsMenu;
  const char* help;
  const char* about;
  const char* filesPanel;
  const char* missingHelp;
  // Qt's own buttons (file dialogs, message boxes).
  const char* qtCancel;
};

constexpr Captions kRussian{
    "Построить", "Добавить", "Параметры", "Помощь", "О программе...", "Файлов в списке: 0", "Файл справки не найден:",
    "Отмена"};
constexpr Captions kEnglish{
    "Build", "Add", "Settings", "Help", "About...", "Files in list: 0", "The guide file was not found:", "Cancel"};

TEST(WindowLanguage, EnglishWhereTheLocaleNamesAnotherLanguageRussianWhereItNamesNone) {
  const struct {
    std::map<std::string, std::string> locale;
    const Captions& captions;
  } cases[] = {
      {{{"LANG", "en_US.UTF-8"}}, kEnglish},
      {{{"LANG", "ru_RU.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}}, kEnglish},
      {{}, kRussian},
      {{{"LC_ALL", "C.UTF-8"}, {"LANG", "en_US.UTF-8"}}, kRussian},
  };
  QTemporaryDir folder;
  for (const auto& c : cases) {
    const LocaleScope scope(c.locale);
    ConvEnvironment environment;
    environment.openUrl = nullptr;
    environment.showAbout = [] {};
    // No help document there: the window tells so in a message box.
    environment.programPath = QFile::encodeName(folder.filePath("bin/kelvory")).toStdString();
    TFConv window(environment);
    window.show();
    const Captions& expected = c.captions;
    const std::string locale = c.locale.empty() ? "none" : c.locale.begin()->second;
    EXPECT_EQ(Controls(window).Button_Build->text(), QString::fromUtf8(expected.build)) << locale;
    EXPECT_EQ(Controls(window).Button_Add->text(), QString::fromUtf8(expected.add)) << locale;
    EXPECT_EQ(Controls(window).SettingsMenu->title(), QString::fromUtf8(expected.settingsMenu)) << locale;
    EXPECT_EQ(Controls(window).Help1->text(), QString::fromUtf8(expected.help)) << locale;
    EXPECT_EQ(Controls(window).About1->text(), QString::fromUtf8(expected.about)) << locale;
    EXPECT_EQ(window.PanelText(1), QString::fromUtf8(expected.filesPanel)) << locale;
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8(expected.qtCancel)) << locale;

    QString message;
    test::AnswerNextModal([&](QWidget* modal) { message = static_cast<QMessageBox*>(modal)->text(); }, 1000);
    Controls(window).Help1->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 10000)) << locale;
    EXPECT_TRUE(message.startsWith(QString::fromUtf8(expected.missingHelp))) << locale << ": " << message.toStdString();
  }
}

}  // namespace
}  // namespace kelvory
