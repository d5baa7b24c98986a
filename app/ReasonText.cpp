#include "app/ReasonText.h"

#include <regex>

namespace kelvory {
namespace {

// A reason of the build in English and its Russian form; %1, %2... stand for the
// groups. The last group of a "cannot ..." reason is the system's own text.
struct ReasonForm {
  const char* english;
  const char* russian;
};

const ReasonForm kForms[] = {
    {"stopped", "построение остановлено"},
    {"another process is building this file", "этот файл сейчас строит другой процесс"},
    {"cannot create the folder (.*): ([^:]*)", "не удалось создать папку %1: %2"},
    {"the build was aborted", "построение прервано"},
    {"the working copy is gone", "рабочая копия файла пропала"},
    {"gdaladdo did not add the overview levels", "gdaladdo не добавил уровни пирамиды"},
    {"gdaladdo did not add the overview levels: (.*)", "gdaladdo не добавил уровни пирамиды: %1"},
    {"gdaladdo was killed by signal (\\d+)", "gdaladdo завершён сигналом %1"},
    {"gdaladdo exited with status (\\d+)", "gdaladdo завершился с кодом %1"},
    {"waiting for gdaladdo failed: (.*)", "не удалось дождаться gdaladdo: %1"},
    {"another file of this build is already copied to (.*)",
     "другой файл этого построения уже копируется в %1"},
    {"cannot replace (.*): ([^:]*)", "не удалось заменить %1: %2"},
    {"cannot copy (.*) to (.*): ([^:]*)", "не удалось скопировать %1 в %2: %3"},
    {"cannot remove the stale (.*): ([^:]*)", "не удалось удалить устаревший файл %1: %2"},
    {"(.*) is a Cloud Optimized GeoTIFF, whose layout adding levels in place would break: rebuild it with "
     "gdal_translate -of COG, or build into a destination folder",
     "%1 — Cloud Optimized GeoTIFF, и новые уровни внутри файла нарушили бы его устройство: пересоздайте его "
     "командой gdal_translate -of COG или стройте в папку назначения"},
    {"(.*) keeps its overviews in (.*), which new levels inside the file would hide: add the missing levels there "
     "with gdaladdo -ro, or remove it to have them built inside the file",
     "пирамида файла %1 хранится в %2, и новые уровни внутри файла скрыли бы её: добавьте недостающие уровни туда "
     "командой gdaladdo -ro или удалите его, чтобы уровни строились внутри файла"},
    {"(.*) has other hard links, which replacing it would split from it: build it into a destination folder instead",
     "у файла %1 есть другие жёсткие ссылки, и замена отделила бы его от них: стройте его в папку назначения"},
    {"cannot copy to (.*): ([^:]*)", "не удалось скопировать в %1: %2"},
    {"cannot read (.*): ([^:]*)", "не удалось прочитать %1: %2"},
    {"cannot write to the folder (.*): ([^:]*)", "нельзя записать в папку %1: %2"},
    {"cannot create a temporary file in (.*): ([^:]*)", "не удалось создать временный файл в %1: %2"},
    {"cannot keep the output of gdaladdo: (.*)", "не удалось сохранить вывод gdaladdo: %1"},
    {"cannot start (.*): ([^:]*)", "не удалось запустить %1: %2"},
    {"(.*) is read-only", "файл %1 доступен только для чтения"},
    {"(.*) changed while gdaladdo worked on a copy of it", "файл %1 изменился, пока gdaladdo работал с его копией"},
    {"the file holds no image", "в файле нет изображения"},
    {"an image of (\\d+) x (\\d+) would need (\\d+) levels, more than (\\d+)",
     "изображению %1 x %2 нужно %3 уровней пирамиды, больше %4"},
};

// The system's texts the build passes on most often.
const ReasonForm kSystemTexts[] = {
    {"No such file or directory", "нет такого файла или папки"},
    {"Permission denied", "доступ запрещён"},
    {"No space left on device", "на диске нет места"},
    {"Read-only file system", "файловая система только для чтения"},
    {"Disk quota exceeded", "превышена дисковая квота"},
    {"Input/output error", "ошибка ввода-вывода"},
    {"File exists", "файл уже существует"},
    {"Is a directory", "это папка"},
    {"Not a directory", "это не папка"},
    {"Operation not permitted", "операция не разрешена"},
};

std::string SystemText(const std::string& text) {
  for (const ReasonForm& form : kSystemTexts) {
    if (text == form.english) return form.russian;
  }
  return text;
}

std::string Filled(const char* pattern, const std::smatch& groups, bool lastIsSystemText) {
  std::string text;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
      const auto group = static_cast<std::size_t>(p[1] - '0');
      const std::string value = groups[group].str();
      text += lastIsSystemText && group + 1 == groups.size() ? SystemText(value) : value;
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

}  // namespace

std::string RussianReason(const std::string& reason) {
  for (const ReasonForm& form : kForms) {
    std::smatch groups;
    if (std::regex_match(reason, groups, std::regex(form.english))) {
      const bool cannot = std::string_view(form.english).starts_with("cannot") ||
                          std::string_view(form.english).starts_with("waiting");
      return Filled(form.russian, groups, cannot);
    }
  }
  return reason;
}

bool IsStoppedReason(const std::string& reason) {
  return reason == "stopped" || reason == RussianReason("stopped");
}

std::string RowOutcomeText(StatusImage status, const std::string& reason) {
  std::string outcome;
  switch (status) {
    case StatusDone:
      outcome = "Пирамиды построены.";
      break;
    case StatusFailed:
      outcome = IsStoppedReason(reason) ? "Построение остановлено." : "Пирамиды построить не удалось.";
      break;
    case StatusNotFound:
      outcome = "Файл не найден.";
      break;
    default:
      return {};
  }
  if (reason.empty() || IsStoppedReason(reason)) return outcome;
  return outcome + "\n\nПричина: " + RussianReason(reason);
}

}  // namespace kelvory
