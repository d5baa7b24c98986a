"""The plugin's words in English and Russian, chosen by QGIS's own language. A table
rather than Qt's .ts files: the plugin ships as plain Python with nothing to compile."""

ENGLISH = {
    "algorithm": "Build pyramids",
    "summary": "Builds overview pyramids in TIFF files, whole folders and list files at once.",
    "help": (
        "<p>Builds overview pyramids (levels of reduced resolution) inside TIFF files with "
        "Kelvory's <b>kelvory-batch</b>, which runs GDAL's gdaladdo on several files at once.</p>"
        "<p><b>TIFF files</b>, <b>Folders</b> and <b>List files</b> name what to build: a folder "
        "adds every .tif and .tiff file below it, in every subfolder; a list file holds one path "
        "per line, a relative one taken from the list's own folder. A field takes several paths, separated by semicolons.</p>"
        "<p>Without a <b>destination folder</b> every file is updated in place through a temporary "
        "copy that replaces it only when gdaladdo has finished. With one, each file is copied "
        "there (files from a folder keep their subfolders) and only the copy gets the levels; "
        "a copy there that is newer than its source and has its levels is only checked. "
        "A file that already has enough levels is left as it is, unless <b>Rebuild levels</b> is set, "
        "which builds every level anew with the chosen resampling. "
        "A file with an external .ovr, a read-only file and a file with "
        "other hard links are kept as they are in place, with the reason in the log; so is a Cloud "
        "Optimized GeoTIFF unless <b>Rewrite COGs as COGs with their levels</b> is set, which writes "
        "it anew as a COG with its levels (a COG's copy in a destination folder always is one). "
        "<b>Levels into an external .ovr file</b> writes the levels into "
        "NAME.tif.ovr and leaves the file itself untouched; not with a destination folder, and "
        "a file that has levels inside it is kept.</p>"
        "<p><b>Resampling</b> takes GDAL's names: average or cubic for imagery, nearest or mode "
        "for classified rasters. <b>Compression</b> is gdaladdo's COMPRESS_OVERVIEW; unset, "
        "levels inside a file take the file's own compression, those in a .ovr none.</p>"
        "<p>Cancel stops the build safely: the running tools are ended and their copies removed; "
        "files not done stay exactly as they were. Run again to build the rest.</p>"
        "<p>The outputs count the files by outcome, and the <b>report</b> (CSV) has one row per "
        "file: path, outcome, reason, reason code, levels before and after, seconds.</p>"
    ),
    "FILES": "TIFF files",
    "FOLDERS": "Folders (every TIFF file below)",
    "LISTS": "List files (one path per line)",
    "RESAMPLING": "Resampling",
    "DEST": "Destination folder (sources stay untouched)",
    "JOBS": "Files at once (0: one per processor)",
    "CLASSIC": "Classic TIFF only (no BigTIFF, big-endian or new sample types)",
    "COMPRESSION": "Compression of the levels",
    "FORCE": "Rebuild levels the files already have",
    "EXTERNAL": "Levels into an external .ovr file",
    "COG": "Rewrite COGs as COGs with their levels",
    "REPORT": "Report",
    "DONE": "Files built",
    "UP_TO_DATE": "Files up to date (they needed nothing)",
    "KEPT": "Files kept as they were",
    "FAILED": "Files failed",
    "NOT_FOUND": "Files not found",
    "BUSY": "Files busy",
    "STOPPED": "Files stopped",
    "NOT_STARTED": "Files not started",
    "setting": "kelvory-batch command (empty: beside the plugin or on the PATH)",
    "separated": "paths separated by ;",
    "add files": "Add TIFF files",
    "add folders": "Add a folder",
    "add lists": "Add list files",
    "no inputs": "Give at least one TIFF file, folder or list file.",
    "bad option": "{0}: unknown value {1}; the values are: {2}.",
    "external with dest": ("Levels into an external .ovr file go beside the files themselves, "
                           "not with a destination folder."),
    "no files": "No TIFF files to build: the folders and list files name none.",
    "not found": ("kelvory-batch was not found (looked for {0}). Install Kelvory, or choose "
                  "the command in Settings > Options > Processing > Providers > Kelvory."),
    "command": "Running {0}",
    "plan": "Files: {0}",
    "ended": "kelvory-batch ended with status {0}: {1}",
    "stop summary": "Stopped: {0} cut short, {1} not started; the files not done are unchanged.",
    "levels": "levels {0} → {1}, {2:.1f} s",
    "outcomes": {"done": "done", "up to date": "up to date", "kept": "kept", "failed": "failed", "not found": "not found",
                 "busy": "busy", "stopped": "stopped", "not started": "not started"},
}

RUSSIAN = {
    "algorithm": "Построить пирамиды",
    "summary": "Строит пирамиды в файлах TIFF, целых папках и списках файлов за один запуск.",
    "help": (
        "<p>Строит пирамиды (обзорные уровни пониженного разрешения) внутри файлов TIFF "
        "командой Kelvory <b>kelvory-batch</b>, которая запускает gdaladdo из GDAL для "
        "нескольких файлов сразу.</p>"
        "<p><b>Файлы TIFF</b>, <b>Папки</b> и <b>Списки файлов</b> задают, что строить: папка "
        "добавляет все файлы .tif и .tiff в ней и во всех вложенных папках; список — текстовый "
        "файл с одним путём в строке, относительный путь берётся от папки списка. В поле можно указать несколько путей через точку с запятой.</p>"
        "<p>Без <b>папки назначения</b> каждый файл обновляется на месте через временную копию, "
        "которая заменяет его, только когда gdaladdo закончил. С папкой назначения каждый файл "
        "копируется туда (файлы из папки сохраняют вложенные папки), и уровни получает только "
        "копия; копия там, которая новее исходного файла и уже имеет уровни, только проверяется. "
        "Файл, в котором уже достаточно уровней, остаётся как есть, если не отмечено "
        "<b>Перестроить</b>: тогда все уровни строятся заново выбранным способом. "
        "Файл с внешним .ovr, файл только для чтения и файл с другими "
        "жёсткими ссылками на месте не меняются, причина — в журнале; так же и Cloud Optimized "
        "GeoTIFF, если не отмечено <b>Пересоздавать COG с уровнями</b>: тогда он записывается "
        "заново как COG с уровнями (копия COG в папке назначения — всегда COG). "
        "<b>Уровни во внешний файл .ovr</b> записывает уровни "
        "в ИМЯ.tif.ovr, не трогая сам файл; не вместе с папкой назначения, а файл, в котором "
        "уже есть внутренние уровни, остаётся как есть.</p>"
        "<p><b>Передискретизация</b> принимает названия GDAL: average или cubic для снимков, "
        "nearest или mode для классифицированных растров. <b>Сжатие</b> — параметр "
        "COMPRESS_OVERVIEW для gdaladdo; если не задано, уровни внутри файла сжимаются как сам "
        "файл, а в .ovr не сжимаются.</p>"
        "<p>Отмена останавливает построение безопасно: работающие gdaladdo завершаются, их копии "
        "удаляются, недостроенные файлы остаются в точности прежними. Повторный запуск достроит "
        "остальное.</p>"
        "<p>Выходные значения — число файлов по итогам, а <b>отчёт</b> (CSV) содержит строку на "
        "файл: путь, итог, причина, код причины, уровни до и после, секунды.</p>"
    ),
    "FILES": "Файлы TIFF",
    "FOLDERS": "Папки (все файлы TIFF в них)",
    "LISTS": "Списки файлов (по пути в строке)",
    "RESAMPLING": "Передискретизация",
    "DEST": "Папка назначения (исходные файлы не меняются)",
    "JOBS": "Файлов одновременно (0 — по одному на процессор)",
    "CLASSIC": "Только классический TIFF (без BigTIFF, big-endian и новых типов отсчётов)",
    "COMPRESSION": "Сжатие уровней",
    "FORCE": "Перестроить уровни, которые уже есть",
    "EXTERNAL": "Уровни во внешний файл .ovr",
    "COG": "Пересоздавать COG с уровнями",
    "REPORT": "Отчёт",
    "DONE": "Построено файлов",
    "UP_TO_DATE": "Уже готово файлов (построение не требовалось)",
    "KEPT": "Оставлено как есть",
    "FAILED": "Не удалось",
    "NOT_FOUND": "Не найдено",
    "BUSY": "Заняты другой командой",
    "STOPPED": "Остановлено",
    "NOT_STARTED": "Не начато",
    "setting": "Команда kelvory-batch (пусто — рядом с модулем или в PATH)",
    "separated": "пути через ;",
    "add files": "Добавить файлы TIFF",
    "add folders": "Добавить папку",
    "add lists": "Добавить списки файлов",
    "no inputs": "Укажите хотя бы один файл TIFF, папку или список файлов.",
    "bad option": "{0}: неизвестное значение {1}; возможные значения: {2}.",
    "external with dest": ("Уровни во внешнем файле .ovr строятся рядом с самими файлами, "
                           "без папки назначения."),
    "no files": "Нет файлов TIFF для построения: в папках и списках их нет.",
    "not found": ("kelvory-batch не найден (искали {0}). Установите Kelvory или укажите "
                  "команду в Настройки > Параметры > Обработка > Провайдеры > Kelvory."),
    "command": "Запуск {0}",
    "plan": "Файлов: {0}",
    "ended": "kelvory-batch завершился с кодом {0}: {1}",
    "stop summary": "Остановлено: прервано {0}, не начато {1}; недостроенные файлы не изменены.",
    "levels": "уровней {0} → {1}, {2:.1f} с",
    "outcomes": {"done": "готово", "up to date": "уже готово", "kept": "оставлен", "failed": "ошибка",
                 "not found": "не найден", "busy": "занят", "stopped": "остановлен",
                 "not started": "не начат"},
}


def texts(locale):
    """The table for a QGIS locale such as "ru", "ru_RU" or "en_US"."""
    return RUSSIAN if locale.lower().startswith("ru") else ENGLISH
