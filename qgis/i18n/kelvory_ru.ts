<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>Kelvory</name>
    <message>
        <source>pyramids,overviews,gdaladdo,tiff,geotiff,cog,raster,batch,folder,many files</source>
        <translation>пирамиды,обзорные уровни,gdaladdo,tiff,geotiff,cog,растр,пакетная обработка,папка,много файлов</translation>
    </message>
    <message>
        <source>Kelvory: build pyramids in many files at once</source>
        <translation>Kelvory: пирамиды для многих файлов сразу</translation>
    </message>
    <message>
        <source>Pyramids</source>
        <translation>Пирамиды</translation>
    </message>
    <message>
        <source>Builds overview pyramids in TIFF files, raster layers, whole folders and list files at once.</source>
        <translation>Строит пирамиды в файлах TIFF, растровых слоях, целых папках и списках файлов за один запуск.</translation>
    </message>
    <message>
        <source>TIFF files</source>
        <translation>Файлы TIFF</translation>
    </message>
    <message>
        <source>Folders (every TIFF file below)</source>
        <translation>Папки (все файлы TIFF в них)</translation>
    </message>
    <message>
        <source>List files (one path per line)</source>
        <translation>Списки файлов (по пути в строке)</translation>
    </message>
    <message>
        <source>Files built</source>
        <translation>Построено файлов</translation>
    </message>
    <message>
        <source>Files up to date (they needed nothing)</source>
        <translation>Уже готово файлов (построение не требовалось)</translation>
    </message>
    <message>
        <source>Files kept as they were</source>
        <translation>Оставлено как есть</translation>
    </message>
    <message>
        <source>Files failed</source>
        <translation>Не удалось</translation>
    </message>
    <message>
        <source>Files not found</source>
        <translation>Не найдено</translation>
    </message>
    <message>
        <source>Files busy</source>
        <translation>Заняты другой командой</translation>
    </message>
    <message>
        <source>Files stopped</source>
        <translation>Остановлено</translation>
    </message>
    <message>
        <source>Files not started</source>
        <translation>Не начато</translation>
    </message>
    <message>
        <source>Resampling</source>
        <translation>Передискретизация</translation>
    </message>
    <message>
        <source>Compression of the levels</source>
        <translation>Сжатие уровней</translation>
    </message>
    <message>
        <source>Raster layers</source>
        <translation>Растровые слои</translation>
    </message>
    <message>
        <source>Destination folder (sources stay untouched)</source>
        <translation>Папка назначения (исходные файлы не меняются)</translation>
    </message>
    <message>
        <source>Rebuild levels the files already have</source>
        <translation>Перестроить уровни, которые уже есть</translation>
    </message>
    <message>
        <source>Levels into an external .ovr file</source>
        <translation>Уровни во внешний файл .ovr</translation>
    </message>
    <message>
        <source>Rewrite COGs as COGs with their levels</source>
        <translation>Пересоздавать COG с уровнями</translation>
    </message>
    <message>
        <source>Files at once (0: one per processor)</source>
        <translation>Файлов одновременно (0 — по одному на процессор)</translation>
    </message>
    <message>
        <source>Classic TIFF only (no BigTIFF, big-endian or new sample types)</source>
        <translation>Только классический TIFF (без BigTIFF, big-endian и новых типов отсчётов)</translation>
    </message>
    <message>
        <source>Fail the run when a file is not done or the run is cancelled</source>
        <translation>Считать запуск неудачным, если файл не готов или запуск отменён</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Отчёт</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Сводка</translation>
    </message>
    <message>
        <source>Give at least one raster layer, TIFF file, folder or list file.</source>
        <translation>Укажите хотя бы один растровый слой, файл TIFF, папку или список файлов.</translation>
    </message>
    <message>
        <source>Levels into an external .ovr file go beside the files themselves, not with a destination folder.</source>
        <translation>Уровни во внешнем файле .ovr строятся рядом с самими файлами, без папки назначения.</translation>
    </message>
    <message>
        <source>No TIFF files to build: the layers, folders and list files name none.</source>
        <translation>Нет файлов TIFF для построения: среди слоёв, в папках и списках их нет.</translation>
    </message>
    <message>
        <source>not a file but a “{0}” layer</source>
        <translation>не файл, а слой «{0}»</translation>
    </message>
    <message>
        <source>not a file of its own on this computer's disks: {0}</source>
        <translation>не отдельный файл на дисках этого компьютера: {0}</translation>
    </message>
    <message>
        <source>Running {0}</source>
        <translation>Запуск {0}</translation>
    </message>
    <message>
        <source>Stopped: {0} cut short, {1} not started; the files not done are unchanged.</source>
        <translation>Остановлено: прервано {0}, не начато {1}; недостроенные файлы не изменены.</translation>
    </message>
    <message>
        <source>Not every file is done: {0}.</source>
        <translation>Готовы не все файлы: {0}.</translation>
    </message>
    <message>
        <source>Files: {0}</source>
        <translation>Файлов: {0}</translation>
    </message>
    <message>
        <source>kelvory-batch ended with status {0}: {1}</source>
        <translation>kelvory-batch завершился с кодом {0}: {1}</translation>
    </message>
    <message>
        <source>levels {0} → {1}, {2:.1f} s</source>
        <translation>уровней {0} → {1}, {2:.1f} с</translation>
    </message>
    <message>
        <source>Files not done</source>
        <translation>Файлы, которые не готовы</translation>
    </message>
    <message>
        <source>{0}: unknown value {1}; the values are: {2}.</source>
        <translation>{0}: неизвестное значение {1}; возможные значения: {2}.</translation>
    </message>
    <message>
        <source>Add TIFF files</source>
        <translation>Добавить файлы TIFF</translation>
    </message>
    <message>
        <source>Add a folder</source>
        <translation>Добавить папку</translation>
    </message>
    <message>
        <source>Add list files</source>
        <translation>Добавить списки файлов</translation>
    </message>
    <message>
        <source>paths separated by ;</source>
        <translation>пути через ;</translation>
    </message>
    <message>
        <source>kelvory-batch command (empty: the installed Kelvory's, else the first on the PATH)</source>
        <translation>Команда kelvory-batch (пусто — из установленного Kelvory, иначе первая в PATH)</translation>
    </message>
    <message>
        <source>Builds overview pyramids (levels of reduced resolution) inside TIFF files with Kelvory's kelvory-batch, which runs GDAL's gdaladdo on several files at once.</source>
        <translation>Строит пирамиды (обзорные уровни пониженного разрешения) внутри файлов TIFF командой Kelvory kelvory-batch, которая запускает gdaladdo из GDAL для нескольких файлов сразу.</translation>
    </message>
    <message>
        <source>“Raster layers” takes the project's raster layers that are files; a layer that is not a file on disk is refused with its reason. “TIFF files”, “Folders” and “List files” name files by their paths: a folder adds every .tif and .tiff file below it, in every subfolder; a list file holds one path per line, a relative one taken from the list's own folder. In the dialog a field takes several paths, separated by semicolons.</source>
        <translation>«Растровые слои» берёт растровые слои проекта, которые являются файлами; слой, который не файл на диске, не берётся, причина — в журнале. «Файлы TIFF», «Папки» и «Списки файлов» задают файлы путями: папка добавляет все файлы .tif и .tiff в ней и во всех вложенных папках; список — текстовый файл с одним путём в строке, относительный путь берётся от папки списка. В окне в поле можно указать несколько путей через точку с запятой.</translation>
    </message>
    <message>
        <source>Without a destination folder every file is updated in place through a temporary copy that replaces it only when gdaladdo has finished. With one, each file is copied there (files from a folder keep their subfolders) and only the copy gets the levels; a copy there that is newer than its source and has its levels is only checked. A file that already has enough levels is left as it is, unless “Rebuild levels the files already have” is set, which builds every level anew with the chosen resampling.</source>
        <translation>Без папки назначения каждый файл обновляется на месте через временную копию, которая заменяет его, только когда gdaladdo закончил. С папкой назначения каждый файл копируется туда (файлы из папки сохраняют вложенные папки), и уровни получает только копия; копия там, которая новее исходного файла и уже имеет уровни, только проверяется. Файл, в котором уже достаточно уровней, остаётся как есть, если не отмечено «Перестроить уровни, которые уже есть»: тогда все уровни строятся заново выбранным способом.</translation>
    </message>
    <message>
        <source>A file with an external .ovr, a read-only file and a file with other hard links are kept as they are in place, with the reason in the log; so is a Cloud Optimized GeoTIFF unless “Rewrite COGs as COGs with their levels” is set, which writes it anew as a COG with its levels (a COG's copy in a destination folder always is one). “Levels into an external .ovr file” writes the levels into NAME.tif.ovr and leaves the file itself untouched; not with a destination folder, and a file that has levels inside it is kept.</source>
        <translation>Файл с внешним .ovr, файл только для чтения и файл с другими жёсткими ссылками на месте не меняются, причина — в журнале; так же и Cloud Optimized GeoTIFF, если не отмечено «Пересоздавать COG с уровнями»: тогда он записывается заново как COG с уровнями (копия COG в папке назначения — всегда COG). «Уровни во внешний файл .ovr» записывает уровни в ИМЯ.tif.ovr, не трогая сам файл; не вместе с папкой назначения, а файл, в котором уже есть внутренние уровни, остаётся как есть.</translation>
    </message>
    <message>
        <source>“Resampling” takes GDAL's names: average or cubic for imagery, nearest or mode for classified rasters. “Compression of the levels” is gdaladdo's COMPRESS_OVERVIEW; unset, levels inside a file take the file's own compression, those in a .ovr none.</source>
        <translation>«Передискретизация» принимает названия GDAL: average или cubic для снимков, nearest или mode для классифицированных растров. «Сжатие уровней» — параметр COMPRESS_OVERVIEW для gdaladdo; если не задано, уровни внутри файла сжимаются как сам файл, а в .ovr не сжимаются.</translation>
    </message>
    <message>
        <source>Cancel stops the build safely: the running tools are ended and their copies removed; files not done stay exactly as they were. Run again to build the rest.</source>
        <translation>Отмена останавливает построение безопасно: работающие gdaladdo завершаются, их копии удаляются, недостроенные файлы остаются в точности прежними. Повторный запуск достроит остальное.</translation>
    </message>
    <message>
        <source>The outputs count the files by outcome. The report is a table (CSV) with one row per file: path, outcome, reason, reason code, levels before and after, seconds; the dialog opens it as a layer. The summary (HTML) gives the counts and the files not done with their reasons. With “Fail the run when a file is not done or the run is cancelled”, such a run ends as failed, and qgis_process exits with a status other than 0.</source>
        <translation>Выходные значения — число файлов по итогам. Отчёт — таблица (CSV) со строкой на файл: путь, итог, причина, код причины, уровни до и после, секунды; окно открывает его как слой. Сводка (HTML) показывает число файлов по итогам и файлы, которые не готовы, с причинами. С «Считать запуск неудачным, если файл не готов или запуск отменён» такой запуск завершается ошибкой, а qgis_process — с ненулевым кодом.</translation>
    </message>
    <message>
        <source>done</source>
        <translation>готово</translation>
    </message>
    <message>
        <source>up to date</source>
        <translation>уже готово</translation>
    </message>
    <message>
        <source>kept</source>
        <translation>оставлен</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>ошибка</translation>
    </message>
    <message>
        <source>not found</source>
        <translation>не найден</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>занят</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>остановлен</translation>
    </message>
    <message>
        <source>not started</source>
        <translation>не начат</translation>
    </message>
    <message>
        <source>Settings ▸ Options ▸ Processing ▸ Providers ▸ Kelvory ▸ “{0}”</source>
        <translation>Настройки ▸ Параметры ▸ Обработка ▸ Провайдеры ▸ Kelvory ▸ «{0}»</translation>
    </message>
    <message>
        <source>kelvory-batch was not found: {0} is empty, and there is none {1}on the PATH. Install Kelvory, or choose the command there.</source>
        <translation>kelvory-batch не найден: {0} — пусто, и команды нет {1}в PATH. Установите Kelvory или укажите команду там.</translation>
    </message>
    <message>
        <source>kelvory-batch was not found: the command {1}, chosen in {0}, does not exist or cannot be run.</source>
        <translation>kelvory-batch не найден: команды {1}, выбранной в {0}, нет или её нельзя запустить.</translation>
    </message>
    <message>
        <source>in {0}, nor </source>
        <translation>ни в {0}, ни </translation>
    </message>
    <message>
        <source>, in </source>
        <translation>, ни в </translation>
    </message>
</context>
</TS>
