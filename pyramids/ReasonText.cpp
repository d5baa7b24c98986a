#include "pyramids/ReasonText.h"

#include "platform/SystemText.h"

namespace kelvory {
namespace {

struct Words {
  ReasonCode code;
  const char* name;
  // %1, %2... stand for the arguments, %e for the system's text of the error in the
  // language, %m for it as the system gives it. English is the command's only; the
  // command's Russian differs from the window's where advice names an option.
  const char* english;
  const char* russian;
  const char* commandRussian = nullptr;
  // The QGIS dialog's, where the words differ: its labels, and the file unnamed.
  const char* qgisEnglish = nullptr;
  const char* qgisRussian = nullptr;
};

// The QGIS dialog's labels, as the plugin shows them.
#define KELVORY_QGIS_COG "“Rewrite COGs as COGs with their levels”"
#define KELVORY_QGIS_COG_RU "«Пересоздавать COG с уровнями»"
#define KELVORY_QGIS_EXTERNAL "“Levels into an external .ovr file”"
#define KELVORY_QGIS_EXTERNAL_RU "«Уровни во внешний файл .ovr»"

const Words kWords[] = {
    {ReasonCode::Stopped, "stopped", "stopped", "построение остановлено"},
    {ReasonCode::Busy, "busy", "another process is building this file", "этот файл сейчас строит другой процесс"},
    {ReasonCode::NotFound, "not_found", "there is no such file", "файл не найден"},
    {ReasonCode::EnoughLevels, "enough_levels", "the file already has its overview levels", "Пирамиды уже есть."},
    {ReasonCode::LevelCompressionUnsuited, "level_compression_unsuited",
     "the levels are compressed as the image is: %1 suits only 8-bit images without a palette, and this file has "
     "%2-bit samples",
     "уровни сжаты так же, как изображение: сжатие %1 подходит только к 8-битным снимкам без палитры, а у этого "
     "файла %2-битные отсчёты"},
    {ReasonCode::CopyCurrent, "copy_current", "the copy %1 is newer than the file and has its overview levels",
     "копия %1 новее файла, и пирамиды в ней уже есть"},
    {ReasonCode::Aborted, "aborted", "the build was aborted", "построение прервано"},
    {ReasonCode::Unexpected, "unexpected", "an unexpected error occurred", "Произошла какая-то ошибка!.."},
    {ReasonCode::ToolSignal, "tool_signal", "gdaladdo was killed by signal %1", "gdaladdo завершён сигналом %1"},
    {ReasonCode::ToolExitStatus, "tool_exit_status", "gdaladdo exited with status %1", "gdaladdo завершился с кодом %1"},
    {ReasonCode::ToolError, "tool_error", "%1", "%1"},
    {ReasonCode::ToolNoLevels, "tool_no_levels", "gdaladdo did not add the overview levels",
     "gdaladdo не добавил уровни пирамиды"},
    {ReasonCode::ToolNoSpace, "tool_no_space", "no space left on device in %1 (gdaladdo: %2)",
     "на диске нет места в %1 (gdaladdo: %2)"},
    {ReasonCode::WaitFailed, "wait_failed", "waiting for gdaladdo failed: %e", "не удалось дождаться gdaladdo: %e"},
    {ReasonCode::CannotStart, "cannot_start", "cannot start %1: %e", "не удалось запустить %1: %e"},
    {ReasonCode::CannotKeepOutput, "cannot_keep_output", "cannot keep the output of gdaladdo: %e",
     "не удалось сохранить вывод gdaladdo: %e"},
    {ReasonCode::WorkingCopyGone, "working_copy_gone", "the working copy is gone", "рабочая копия файла пропала"},
    {ReasonCode::DestinationTaken, "destination_taken", "another file of this build is already copied to %1",
     "другой файл этого построения уже копируется в %1"},
    {ReasonCode::CannotCreateFolder, "cannot_create_folder", "cannot create the folder %1: %e",
     "не удалось создать папку %1: %e"},
    {ReasonCode::CannotReplace, "cannot_replace", "cannot replace %1: %e", "не удалось заменить %1: %e"},
    {ReasonCode::CannotCopy, "cannot_copy", "cannot copy %1 to %2: %e", "не удалось скопировать %1 в %2: %e"},
    {ReasonCode::CannotCopyTo, "cannot_copy_to", "cannot copy to %1: %e", "не удалось скопировать в %1: %e"},
    {ReasonCode::CannotRemoveStale, "cannot_remove_stale", "cannot remove the stale %1: %e",
     "не удалось удалить устаревший файл %1: %e"},
    {ReasonCode::CannotRead, "cannot_read", "cannot read %1: %e", "не удалось прочитать %1: %e"},
    {ReasonCode::CannotWriteFolder, "cannot_write_folder", "cannot write to the folder %1: %e",
     "нельзя записать в папку %1: %e"},
    {ReasonCode::CannotCreateTemp, "cannot_create_temp", "cannot create a temporary file in %1: %e",
     "не удалось создать временный файл в %1: %e"},
    {ReasonCode::CannotCopyToTemp, "cannot_copy_to_temp",
     "cannot copy to %1: %e (working copies go to the temporary folder; --tmpdir DIR chooses another)",
     "не удалось скопировать в %1: %e",
     "не удалось скопировать в %1: %e (рабочие копии создаются во временной папке; другую задаёт --tmpdir DIR)",
     "cannot copy to %1: %e (working copies go to the temporary folder, TMPDIR)",
     "не удалось скопировать в %1: %e (рабочие копии создаются во временной папке, TMPDIR)"},
    {ReasonCode::NoRoomForCopy, "no_room_for_copy",
     "no room for a working copy of %1: %2 has %3 free, %4 has %5 (--tmpdir DIR chooses another folder)",
     "нет места для рабочей копии размером %1: в %2 свободно %3, в %4 свободно %5",
     "нет места для рабочей копии размером %1: в %2 свободно %3, в %4 свободно %5 (другую папку задаёт --tmpdir DIR)",
     "no room for a working copy of %1: %2 has %3 free, %4 has %5 (TMPDIR chooses another folder)",
     "нет места для рабочей копии размером %1: в %2 свободно %3, в %4 свободно %5 (другую папку задаёт TMPDIR)"},
    {ReasonCode::ReadOnly, "read_only",
     "%1 is read-only: build it into a destination folder, or its levels beside it with --external",
     "файл %1 доступен только для чтения: разрешите запись в него или выберите папку назначения",
     "файл %1 доступен только для чтения: стройте его в папку назначения или уровни рядом с ним с ключом --external",
     "the file is read-only: choose a destination folder, or set " KELVORY_QGIS_EXTERNAL,
     "файл доступен только для чтения: выберите папку назначения или отметьте " KELVORY_QGIS_EXTERNAL_RU},
    {ReasonCode::HardLinks, "hard_links",
     "%1 has other hard links, which replacing it would split from it: build it into a destination folder, or its "
     "levels beside it with --external",
     "у файла %1 есть другие жёсткие ссылки, и замена отделила бы его от них: стройте его в папку назначения",
     "у файла %1 есть другие жёсткие ссылки, и замена отделила бы его от них: стройте его в папку назначения или "
     "уровни рядом с ним с ключом --external",
     "the file has other hard links, which replacing it would split from it: choose a destination folder, or set " KELVORY_QGIS_EXTERNAL,
     "у файла есть другие жёсткие ссылки, и замена отделила бы его от них: выберите папку назначения или отметьте " KELVORY_QGIS_EXTERNAL_RU},
    {ReasonCode::ChangedDuringBuild, "changed_during_build", "%1 changed while gdaladdo worked on a copy of it",
     "файл %1 изменился, пока gdaladdo работал с его копией",
     nullptr,
     "the file changed while gdaladdo worked on a copy of it",
     "файл изменился, пока gdaladdo работал с его копией"},
    {ReasonCode::CannotAppend, "cannot_append", "cannot add the levels to %1, which is as it was",
     "не удалось добавить уровни в файл %1, он остался прежним"},
    {ReasonCode::AppendFailed, "append_failed", "cannot add the levels to %1, which is as it was: %e",
     "не удалось добавить уровни в файл %1, он остался прежним: %e"},
    {ReasonCode::CannotWriteRecord, "cannot_write_record", "cannot write the build's record %1: %e",
     "не удалось записать журнал построения %1: %e"},
    {ReasonCode::CannotRecordBuild, "cannot_record_build", "cannot record the build in %1",
     "не удалось записать построение в журнал %1"},
    {ReasonCode::CannotMakeWorkFolder, "cannot_make_work_folder", "cannot make the build's work folder %1: %e",
     "не удалось создать рабочую папку построения %1: %e"},
    {ReasonCode::UnfinishedLeftAlone, "unfinished_left_alone",
     "%1 is not as an unfinished build left it, so it is kept as it is; that build's record is set aside as %2",
     "файл %1 не такой, каким его оставило прерванное построение, поэтому он оставлен как есть; журнал того "
     "построения отложен в %2",
     nullptr,
     "the file is not as an unfinished build left it, so it is kept as it is; that build's record is set aside as %2",
     "файл не такой, каким его оставило прерванное построение, поэтому он оставлен как есть; журнал того "
     "построения отложен в %2"},
    {ReasonCode::CannotUndo, "cannot_undo", "cannot undo an unfinished build of %1: %e; its record stays for the next run",
     "не удалось отменить прерванное построение файла %1: %e; его журнал остаётся до следующего запуска"},
    {ReasonCode::CannotAppendFile, "cannot_append_file", "cannot add the levels to %1, which is as it was: %2: %e",
     "не удалось добавить уровни в файл %1, он остался прежним: %2: %e"},
    {ReasonCode::OwnerNotKept, "owner_not_kept",
     "%1 is kept as it is: a working copy of it could not be given its owner and group %2 (%e), and its levels "
     "cannot be appended: build it as its owner or as root, or into a destination folder",
     "файл %1 оставлен как есть: рабочей копии нельзя дать его владельца и группу %2 (%e), а дописать уровни в "
     "файл нельзя: стройте его от имени владельца или root либо в папку назначения",
     nullptr,
     "a working copy of the file could not be given its owner and group %2 (%e), and its levels cannot be "
     "appended: build it as its owner or as root, or choose a destination folder",
     "рабочей копии файла нельзя дать его владельца и группу %2 (%e), а дописать уровни в файл нельзя: стройте "
     "его от имени владельца или root либо выберите папку назначения"},
    {ReasonCode::AttributeNotKept, "attribute_not_kept",
     "%1 is kept as it is: a working copy of it could not be given its extended attribute %2 (%e), and its levels "
     "cannot be appended: build it as root, or into a destination folder",
     "файл %1 оставлен как есть: рабочей копии нельзя дать его расширенный атрибут %2 (%e), а дописать уровни в "
     "файл нельзя: стройте его от имени root либо в папку назначения",
     nullptr,
     "a working copy of the file could not be given its extended attribute %2 (%e), and its levels cannot be "
     "appended: build it as root, or choose a destination folder",
     "рабочей копии файла нельзя дать его расширенный атрибут %2 (%e), а дописать уровни в файл нельзя: стройте "
     "его от имени root либо выберите папку назначения"},
    {ReasonCode::CogInPlace, "cog_in_place",
     "%1 is a Cloud Optimized GeoTIFF, whose layout levels added inside it would break: --cog writes it anew as a "
     "COG with its levels, --dest DIR makes a COG copy with them",
     "%1 — Cloud Optimized GeoTIFF, и новые уровни внутри файла нарушили бы его устройство: включите "
     "«Пересоздавать COG с уровнями» в меню «Параметры» или выберите папку назначения",
     "%1 — Cloud Optimized GeoTIFF, и новые уровни внутри файла нарушили бы его устройство: ключ --cog "
     "пересоздаёт его как COG с уровнями, --dest DIR делает копию-COG с ними",
     "a Cloud Optimized GeoTIFF, whose layout levels added inside it would break: " KELVORY_QGIS_COG " writes "
     "it anew as a COG with its levels, a destination folder gets a COG copy with them",
     "Cloud Optimized GeoTIFF, и новые уровни внутри файла нарушили бы его устройство: " KELVORY_QGIS_COG_RU " "
     "пересоздаёт его как COG с уровнями, в папку назначения записывается копия-COG с ними"},
    {ReasonCode::CogNotWritten, "cog_not_written",
     "gdal_translate did not write %1 as a Cloud Optimized GeoTIFF with its levels (%2)",
     "gdal_translate не записал %1 как Cloud Optimized GeoTIFF с уровнями (%2)"},
    {ReasonCode::ExternalOverviews, "external_overviews",
     "%1 keeps its overviews in %2, which new levels inside the file would hide: add the missing levels there "
     "with --external, or remove it to have them built inside the file",
     "пирамида файла %1 хранится в %2, и новые уровни внутри файла скрыли бы её: добавьте недостающие уровни туда "
     "командой gdaladdo -ro или удалите его, чтобы уровни строились внутри файла",
     "пирамида файла %1 хранится в %2, и новые уровни внутри файла скрыли бы её: добавьте недостающие уровни туда "
     "с ключом --external или удалите его, чтобы уровни строились внутри файла",
     "the file keeps its overviews in %2, which new levels inside it would hide: set " KELVORY_QGIS_EXTERNAL " "
     "to add the missing levels there, or remove it to have them built inside the file",
     "пирамида файла хранится в %2, и новые уровни внутри файла скрыли бы её: отметьте " KELVORY_QGIS_EXTERNAL_RU
     ", чтобы добавить недостающие уровни туда, или удалите его, чтобы уровни "
     "строились внутри файла"},
    {ReasonCode::MaskFileInPlace, "mask_file_in_place",
     "%1 keeps its mask in %2, which takes the mask's levels and cannot be replaced together with the file: build "
     "it into a destination folder",
     "маска файла %1 хранится в %2, куда пишутся уровни маски, а заменить его вместе с файлом нельзя: стройте файл "
     "в папку назначения",
     nullptr,
     "the file keeps its mask in %2, which takes the mask's levels and cannot be replaced together with the "
     "file: choose a destination folder",
     "маска файла хранится в %2, куда пишутся уровни маски, а заменить его вместе с файлом нельзя: выберите "
     "папку назначения"},
    {ReasonCode::ExternalBesideInternal, "external_beside_internal",
     "%1 has overview levels inside it, and external levels go only beside a file without them: build without "
     "--external",
     "у файла %1 уже есть уровни внутри, а внешние уровни строятся только для файла без них",
     "у файла %1 уже есть уровни внутри, а внешние уровни строятся только для файла без них: стройте без "
     "--external",
     "the file has overview levels inside it, and external levels go only beside a file without them: clear " KELVORY_QGIS_EXTERNAL,
     "у файла уже есть уровни внутри, а внешние уровни строятся только для файла без них: снимите " KELVORY_QGIS_EXTERNAL_RU},
    {ReasonCode::NoImage, "no_image", "the file holds no image", "в файле нет изображения"},
    {ReasonCode::NoLevelCount, "no_level_count", "image size %1 x %2 has no level count",
     "для изображения %1 x %2 нельзя вычислить число уровней"},
    {ReasonCode::TooManyLevels, "too_many_levels", "an image of %1 x %2 would need %3 levels, more than %4",
     "изображению %1 x %2 нужно %3 уровней пирамиды, больше %4"},
    {ReasonCode::CannotOpen, "cannot_open", "Cannot open file \"%1\". %m", "Cannot open file \"%1\". %m"},
    {ReasonCode::UnsupportedFileType, "unsupported_file_type", "unsupported file type", "Неподдерживаемый тип файла."},
    {ReasonCode::FileReadError, "file_read_error", "file read error", "Ошибка чтения файла."},
    {ReasonCode::FileStructureError, "file_structure_error", "file structure error", "Ошибка структуры файла."},
    {ReasonCode::UnsupportedImageFormat, "unsupported_image_format", "unsupported image format",
     "Неподдерживаемый формат изображения."},
    {ReasonCode::RangeCheck, "range_check", "%1", "%1"},
};

#undef KELVORY_QGIS_COG
#undef KELVORY_QGIS_COG_RU
#undef KELVORY_QGIS_EXTERNAL
#undef KELVORY_QGIS_EXTERNAL_RU

const Words* WordsFor(ReasonCode code) {
  for (const Words& words : kWords) {
    if (words.code == code) return &words;
  }
  return nullptr;
}

// The system's own text in the language, where the system has it (Windows does, in the
// languages installed); else in Russian for the errors a build meets most often.
std::string SystemText(const std::error_code& error, Language language) {
  if (language == Language::Russian) {
    if (std::string own = platform::SystemErrorText(error, "ru"); !own.empty()) return own;
    struct Known {
      std::errc condition;
      const char* russian;
    };
    static constexpr Known kKnown[] = {
        {std::errc::no_such_file_or_directory, "нет такого файла или папки"},
        {std::errc::permission_denied, "доступ запрещён"},
        {std::errc::no_space_on_device, "на диске нет места"},
        {std::errc::read_only_file_system, "файловая система только для чтения"},
        {std::errc::io_error, "ошибка ввода-вывода"},
        {std::errc::file_exists, "файл уже существует"},
        {std::errc::is_a_directory, "это папка"},
        {std::errc::not_a_directory, "это не папка"},
        {std::errc::operation_not_permitted, "операция не разрешена"},
        {std::errc::file_too_large, "файл слишком велик"},
    };
    for (const Known& known : kKnown) {
      if (error == known.condition) return known.russian;
    }
  }
  return error.message();
}

std::string Filled(const char* pattern, const Reason& reason, Language language) {
  std::string text;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
      const auto at = static_cast<std::size_t>(p[1] - '1');
      if (at < reason.Args.size()) text += reason.Args[at];
      ++p;
    } else if (p[0] == '%' && (p[1] == 'e' || p[1] == 'm')) {
      text += p[1] == 'e' ? SystemText(reason.Error, language) : reason.Error.message();
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

const char* Pattern(const Words& words, Language language, Audience audience) {
  if (audience == Audience::Qgis) {
    const char* own = language == Language::English ? words.qgisEnglish : words.qgisRussian;
    if (own != nullptr) return own;
    audience = Audience::Command;
  }
  if (language == Language::English) return words.english;
  return audience == Audience::Command && words.commandRussian != nullptr ? words.commandRussian : words.russian;
}

// Where the front end switches the widened reading on.
const char* WidenedHint(Language language, Audience audience) {
  if (audience == Audience::Window) return "Файл можно прочитать, включив «Параметры → Читать BigTIFF и все типы данных».";
  if (audience == Audience::Qgis) {
    return language == Language::Russian ? "(файл читается без «Только классический TIFF»)"
                                         : "(the file is readable without “Classic TIFF only”)";
  }
  return language == Language::Russian ? "(файл читается без --classic)" : "(the file is readable without --classic)";
}

}  // namespace

std::string ReasonText(const Reason& reason, Language language, Audience audience) {
  const Words* words = WordsFor(reason.Code);
  if (words == nullptr) return {};
  std::string text = Filled(Pattern(*words, language, audience), reason, language);
  if (reason.Detail != ReasonCode::None) text += ": " + ReasonText(MakeReason(reason.Detail), language, audience);
  if (reason.ReadableWidened) text += std::string(" ") + WidenedHint(language, audience);
  return text;
}

const char* ReasonCodeName(ReasonCode code) {
  const Words* words = WordsFor(code);
  return words == nullptr ? "" : words->name;
}

const char* FailedStepName(FailedStep step) {
  switch (step) {
    case FailedStep::None: return "";
    case FailedStep::NotProven: return "not_proven";
    case FailedStep::OverviewFileAppeared: return "overview_file_appeared";
    case FailedStep::ChangedSincePlanned: return "changed_since_planned";
    case FailedStep::ReadStructure: return "read_structure";
    case FailedStep::JournalCreate: return "journal_create";
    case FailedStep::JournalWrite: return "journal_write";
    case FailedStep::JournalSync: return "journal_sync";
    case FailedStep::JournalReplace: return "journal_replace";
    case FailedStep::NotBegun: return "not_begun";
    case FailedStep::StampRead: return "stamp_read";
    case FailedStep::PlanLevels: return "plan_levels";
    case FailedStep::LevelsMoved: return "levels_moved";
    case FailedStep::Marker: return "marker";
    case FailedStep::SyncMarker: return "sync_marker";
    case FailedStep::Append: return "append";
    case FailedStep::SyncAppend: return "sync_append";
    case FailedStep::Link: return "link";
    case FailedStep::SyncLink: return "sync_link";
  }
  return "";
}

}  // namespace kelvory
