#include "batch/HelpText.h"

#include <vector>

#include "platform/Program.h"
#include "platform/StopSignals.h"
#include "pyramids/ToolCommand.h"

namespace kelvory {
namespace {

// "A, B or C" of the ways this system's users stop a program.
std::string StopRequestWords(Language language) {
  const bool russian = language == Language::Russian;
  std::vector<std::string> words;
  for (const platform::StopRequest request : platform::StopRequests()) {
    switch (request) {
      case platform::StopRequest::Interrupt: words.emplace_back("Ctrl-C"); break;
      case platform::StopRequest::Break: words.emplace_back("Ctrl-Break"); break;
      case platform::StopRequest::Terminate: words.emplace_back("SIGTERM"); break;
      case platform::StopRequest::HangUp: words.emplace_back("SIGHUP"); break;
      case platform::StopRequest::ConsoleClosed:
        words.emplace_back(russian ? "закрытие консоли" : "closing the console");
        break;
      case platform::StopRequest::LogOff: words.emplace_back(russian ? "выход из системы" : "logging off"); break;
    }
  }
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? (russian ? " или " : " or ") : ", ";
    text += words[i];
  }
  return text;
}

std::string EnglishHelp() {
  return std::string("Usage: kelvory-batch [OPTION]... [--list FILE]... [PATH]...\n") +
         "Builds the overview pyramids of TIFF files with " + BundledToolPath({}) + " beside the\n"
         "program (or, when there is none, the " + platform::ExecutableName("gdaladdo") +
         " on the PATH). A PATH that is\n"
         "a folder adds every .tif/.tiff file below it.\n"
         "\n"
         "  -d, --dest DIR   copy each file into DIR and build there (default: in place)\n"
         "      --external   build the levels into NAME.ovr beside each file\n"
         "      --cog        write a Cloud Optimized GeoTIFF anew as a COG with its levels\n"
         "      --force      rebuild every level, those a file has included\n"
         "  -r, --resampling METHOD\n"
         "                   nearest (default), average, bilinear, cubic, cubicspline,\n"
         "                   lanczos, gauss, mode or rms\n"
         "      --config KEY VALUE\n"
         "                   a GDAL configuration option for gdaladdo (may be repeated)\n"
         "  -j, --jobs N     run at most N tool processes at once (default: one per\n"
         "                   processor)\n"
         "      --tmpdir DIR where in-place working copies go\n"
         "  -l, --list FILE  add the paths of a list file, one per line (may be repeated)\n"
         "      --classic    read only classic little-endian TIFF of the original kinds\n"
         "      --shard K/N  take only share K of N of the files\n"
         "  -n, --dry-run    say what each file would get; nothing is written\n"
         "  -q, --quiet      print only the files left without their levels\n"
         "      --json       one JSON object per file instead of the text lines\n"
         "      --events     JSON events: plan, start, progress, file, summary\n"
         "  -h, --help       show this help and exit\n"
         "      --version    show the version and the gdaladdo used, and exit\n"
         "\n"
         "Exit status: 0 every file done, up to date or kept, 1 some failed, not found or\n"
         "busy, or no files at all, 2 usage error or no tool, 130 interrupted by\n" +
         StopRequestWords(Language::English) + ".\n"
         "The full reference is the manual page: man kelvory-batch\n"
         "(docs/man/kelvory-batch.1.in in Kelvory's source).\n";
}

std::string RussianHelp() {
  return std::string("Использование: kelvory-batch [ПАРАМЕТР]... [--list ФАЙЛ]... [ПУТЬ]...\n") +
         "Строит пирамиды (уровни обзора) в файлах TIFF программой " + BundledToolPath({}) + "\n"
         "рядом с программой (а если её нет, программой " + platform::ExecutableName("gdaladdo") +
         " из PATH). ПУТЬ к папке\n"
         "добавляет все файлы .tif/.tiff в ней и во всех вложенных папках.\n"
         "\n"
         "  -d, --dest ПАПКА  копировать каждый файл в ПАПКУ и строить там\n"
         "                    (без него файлы обновляются на месте)\n"
         "      --external    строить уровни в файл ИМЯ.ovr рядом с каждым файлом\n"
         "      --cog         записать Cloud Optimized GeoTIFF заново как COG с уровнями\n"
         "      --force       перестроить все уровни, и те, что в файле уже есть\n"
         "  -r, --resampling МЕТОД\n"
         "                    nearest (по умолчанию), average, bilinear, cubic,\n"
         "                    cubicspline, lanczos, gauss, mode или rms\n"
         "      --config КЛЮЧ ЗНАЧЕНИЕ\n"
         "                    параметр настройки GDAL для gdaladdo (можно повторять)\n"
         "  -j, --jobs N      запускать не больше N процессов сразу (по умолчанию\n"
         "                    по одному на процессор)\n"
         "      --tmpdir ПАПКА\n"
         "                    где создавать рабочие копии при построении на месте\n"
         "  -l, --list ФАЙЛ   добавить пути из файла списка, по одному в строке\n"
         "                    (можно повторять)\n"
         "      --classic     читать только классический TIFF прежних видов\n"
         "                    (little-endian)\n"
         "      --shard K/N   взять только долю K из N всех файлов\n"
         "  -n, --dry-run     сказать, что получит каждый файл; ничего не записывается\n"
         "  -q, --quiet       выводить только файлы, оставшиеся без уровней\n"
         "      --json        по объекту JSON на файл вместо текстовых строк\n"
         "      --events      события в JSON: plan, start, progress, file, summary\n"
         "  -h, --help        показать эту справку и выйти\n"
         "      --version     показать версию и используемый gdaladdo и выйти\n"
         "\n"
         "Код возврата: 0 — все файлы готовы, уже готовы или оставлены; 1 — какие-то\n"
         "не построены, не найдены или заняты, или файлов нет вовсе; 2 — ошибка\n"
         "в аргументах или нет программы; 130 — прервано (" +
         StopRequestWords(Language::Russian) + ").\n"
         "Полное описание — страница руководства: man kelvory-batch\n"
         "(docs/man/kelvory-batch.1.in в исходных текстах Kelvory).\n";
}

}  // namespace

std::string HelpText(Language language) { return language == Language::Russian ? RussianHelp() : EnglishHelp(); }

}  // namespace kelvory
