#include "batch/UsageError.h"

#include <utility>

namespace kelvory {
namespace {

struct UsageWords {
  UsageCode code;
  const char* english;  // %1, %2 stand for the arguments
  const char* russian;
};

const UsageWords kUsageWords[] = {
    {UsageCode::NoFiles, "no files given", "не указаны файлы"},
    {UsageCode::UnknownOption, "unknown option '%1'", "неизвестный ключ '%1'"},
    {UsageCode::NeedsValue, "%1 needs a value", "ключу %1 нужно значение"},
    {UsageCode::OnlyOnce, "%1 may be given only once", "ключ %1 можно указать только один раз"},
    {UsageCode::TakesNoValue, "%1 takes no value", "ключ %1 не принимает значения"},
    {UsageCode::NeedsFolder, "%1 needs a folder", "ключу %1 нужна папка"},
    {UsageCode::NeedsFile, "%1 needs a file", "ключу %1 нужен файл"},
    {UsageCode::BadJobs, "--jobs needs a whole number from 1 to %1, not '%2'",
     "ключу --jobs нужно целое число от 1 до %1, а не '%2'"},
    {UsageCode::BadShard, "--shard needs K/N with 1 <= K <= N, not '%1'",
     "ключу --shard нужно K/N, где 1 <= K <= N, а не '%1'"},
    {UsageCode::ConfigNeedsPair, "--config needs a KEY and a VALUE", "ключу --config нужны KEY и VALUE"},
    {UsageCode::BadConfigKey, "--config needs a KEY without '=' or blanks, not '%1'",
     "ключу --config нужен KEY без '=' и пробелов, а не '%1'"},
    {UsageCode::UnknownMethod, "unknown resampling method '%1' (known: %2)",
     "неизвестный метод пересчёта '%1' (известны: %2)"},
    {UsageCode::ExternalWithDest, "--external builds beside the files themselves; it does not go with --dest",
     "--external строит уровни рядом с самими файлами и не сочетается с --dest"},
    {UsageCode::JsonWithEvents, "--json and --events are two forms of one output: give one of them",
     "--json и --events — две формы одного вывода: укажите один из них"},
    {UsageCode::NotAFolder, "not a folder: %1", "это не папка: %1"},
};

std::string Message(UsageCode code, const std::vector<std::string>& args, Language language) {
  for (const UsageWords& words : kUsageWords) {
    if (words.code != code) continue;
    std::string text;
    for (const char* p = language == Language::Russian ? words.russian : words.english; *p != '\0'; ++p) {
      if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
        const auto at = static_cast<std::size_t>(p[1] - '1');
        if (at < args.size()) text += args[at];
        ++p;
      } else {
        text += *p;
      }
    }
    return text;
  }
  return {};
}

}  // namespace

UsageError::UsageError(UsageCode code, std::vector<std::string> args)
    : Exception(Message(code, args, Language::English)), code_(code), args_(std::move(args)) {}

std::string UsageError::Text(Language language) const { return Message(code_, args_, language); }

const char* TryHelpText(Language language) {
  return language == Language::Russian ? "Подробнее: kelvory-batch --help" : "Try 'kelvory-batch --help' for more information.";
}

}  // namespace kelvory
