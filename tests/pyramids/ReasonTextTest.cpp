// Every reason the build can give has words in both languages and a name for scripts.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "pyramids/ReasonText.h"

namespace kelvory {
namespace {

bool HasCyrillic(const std::string& text) {
  // Cyrillic letters are 0xD0 or 0xD1 followed by a continuation byte in UTF-8.
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xD0 || c == 0xD1) return true;
  }
  return false;
}

TEST(ReasonText, EveryCodeHasAStableNameAndWordsInBothLanguages) {
  std::set<std::string> names;
  for (const ReasonCode code : kAllReasonCodes) {
    const Reason reason = MakeReason(code, {"/d/a.tif", "/d/out", "3", "20"}, std::make_error_code(std::errc::io_error));
    const std::string english = ReasonText(reason, Language::English);
    const std::string russian = ReasonText(reason, Language::Russian);
    const std::string name = ReasonCodeName(code);
    EXPECT_FALSE(english.empty()) << name;
    EXPECT_FALSE(russian.empty()) << name;
    EXPECT_FALSE(HasCyrillic(english)) << english;
    // Only the tool's own lines and the reader's English message read the same.
    const bool quoted = code == ReasonCode::ToolError || code == ReasonCode::RangeCheck || code == ReasonCode::CannotOpen;
    EXPECT_EQ(english == russian, quoted) << name << ": " << russian;
    EXPECT_TRUE(names.insert(name).second) << "name used twice: " << name;
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz_"), std::string::npos) << name;
  }
  EXPECT_EQ(ReasonCodeName(ReasonCode::None), std::string());
  EXPECT_EQ(ReasonText({}, Language::Russian), "");
}

// The QGIS dialog has no command-line options to offer, and shows the file's path
// before its reason already.
TEST(ReasonText, TheQgisDialogsWordsNameNoOptionAndNotTheFileThatWasKept) {
  for (const ReasonCode code : kAllReasonCodes) {
    Reason reason = MakeReason(code, {"/d/a.tif", "/d/out", "3", "20", "5"}, std::make_error_code(std::errc::io_error));
    reason.ReadableWidened = true;
    for (const Language language : {Language::English, Language::Russian}) {
      const std::string text = ReasonText(reason, language, Audience::Qgis);
      EXPECT_EQ(text.find("--"), std::string::npos) << ReasonCodeName(code) << ": " << text;
      if (KeepsFile(code)) EXPECT_EQ(text.find("/d/a.tif"), std::string::npos) << ReasonCodeName(code) << ": " << text;
    }
  }
}

TEST(ReasonText, ArgumentsSystemTextsAndHintsFillTheWords) {
  struct Case {
    Reason reason;
    Language language;
    std::string text;
    Audience audience = Audience::Command;
  };
  Reason widened = MakeReason(ReasonCode::UnsupportedImageFormat);
  widened.ReadableWidened = true;
  Reason unreadable = MakeReason(ReasonCode::ToolNoLevels);
  unreadable.Detail = ReasonCode::FileStructureError;
  const auto full = std::make_error_code(std::errc::no_space_on_device);
  const Case cases[] = {
      {MakeReason(ReasonCode::ReadOnly, {"/d/a: b.tif"}), Language::Russian,
       "файл /d/a: b.tif доступен только для чтения: стройте его в папку назначения или уровни рядом с ним с ключом "
       "--external"},
      {MakeReason(ReasonCode::CannotReplace, {"/d/a.tif"}, full), Language::Russian,
       "не удалось заменить /d/a.tif: на диске нет места"},
      {MakeReason(ReasonCode::CannotReplace, {"/d/a.tif"}, full), Language::English,
       "cannot replace /d/a.tif: " + full.message()},
      {MakeReason(ReasonCode::ToolError, {"ERROR 1: /d/a.tif: No space left on device"}), Language::Russian,
       "ERROR 1: /d/a.tif: No space left on device"},
      {MakeReason(ReasonCode::TooManyLevels, {"10", "20", "25", "20"}), Language::Russian,
       "изображению 10 x 20 нужно 25 уровней пирамиды, больше 20"},
      {MakeReason(ReasonCode::CannotOpen, {"/d/a.tif"}, full), Language::Russian,
       "Cannot open file \"/d/a.tif\". " + full.message()},
      {widened, Language::English, "unsupported image format (the file is readable without --classic)"},
      {widened, Language::Russian, "Неподдерживаемый формат изображения. (файл читается без --classic)"},
      {MakeReason(ReasonCode::ReadOnly, {"/d/a.tif"}), Language::Russian, "файл /d/a.tif доступен только для чтения: разрешите запись в него или выберите папку назначения",
       Audience::Window},
      {unreadable, Language::English, "gdaladdo did not add the overview levels: file structure error"},
      {MakeReason(ReasonCode::CogInPlace, {"/d/a.tif"}), Language::English,
       "a Cloud Optimized GeoTIFF, whose layout levels added inside it would break: “Rewrite COGs as COGs with their "
       "levels” writes it anew as a COG with its levels, a destination folder gets a COG copy with them",
       Audience::Qgis},
      {MakeReason(ReasonCode::ExternalBesideInternal, {"/d/a.tif"}), Language::Russian,
       "у файла уже есть уровни внутри, а внешние уровни строятся только для файла без них: снимите «Уровни во "
       "внешний файл .ovr»",
       Audience::Qgis},
      {widened, Language::English, "unsupported image format (the file is readable without “Classic TIFF only”)",
       Audience::Qgis},
      // Where the dialog needs no words of its own, it has the command's.
      {MakeReason(ReasonCode::CannotReplace, {"/d/a.tif"}, full), Language::Russian,
       "не удалось заменить /d/a.tif: на диске нет места", Audience::Qgis},
      {MakeReason(ReasonCode::CannotAppendFile, {"/d/a.tif", "/d/.a.tif.kelvory-journal"}, full), Language::Russian,
       "не удалось добавить уровни в файл /d/a.tif, он остался прежним: /d/.a.tif.kelvory-journal: на диске нет места"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReasonText(c.reason, c.language, c.audience), c.text);
}

}  // namespace
}  // namespace kelvory
