#include "pyramids/LanguageChoice.h"

#include <gtest/gtest.h>

namespace kelvory {
namespace {

TEST(UserLanguage, TheLocaleDecidesAndWhereItNamesNoneTheSystemThenTheProgram) {
  struct Case {
    LanguageSources sources;
    Language unnamed;
    Language expected;
  };
  const Case cases[] = {
      {{"ru_RU.UTF-8", "en"}, Language::English, Language::Russian},
      {{"ru", ""}, Language::English, Language::Russian},
      {{"en_US.UTF-8", "ru"}, Language::Russian, Language::English},
      {{"de_DE", ""}, Language::Russian, Language::English},
      // No language named: the window stays Russian, the command English.
      {{"", ""}, Language::Russian, Language::Russian},
      {{"C", ""}, Language::Russian, Language::Russian},
      {{"C.UTF-8", ""}, Language::Russian, Language::Russian},
      {{"POSIX", ""}, Language::Russian, Language::Russian},
      {{"C", ""}, Language::English, Language::English},
      // A Windows that sets no locale variables: its display language.
      {{"", "ru"}, Language::English, Language::Russian},
      {{"", "en"}, Language::Russian, Language::English},
      {{"C.UTF-8", "de"}, Language::Russian, Language::English},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseLanguage(c.sources, c.unnamed), c.expected)
        << "locale '" << c.sources.locale << "', system '" << c.sources.interfaceLanguage << "'";
}

}  // namespace
}  // namespace kelvory
