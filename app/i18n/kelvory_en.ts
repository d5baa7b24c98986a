<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>Kelvory</name>
    <message>
        <source>Ближайший сосед</source>
        <translation>Nearest neighbour</translation>
    </message>
    <message>
        <source>Классы, маски, номера участков: значения не смешиваются; быстрее всех</source>
        <translation>Classes, masks, parcel numbers: values are never mixed; the fastest</translation>
    </message>
    <message>
        <source>Среднее</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>Снимки и аэрофотосъёмка: гладкие уровни без ряби</source>
        <translation>Satellite and aerial imagery: smooth levels without ripples</translation>
    </message>
    <message>
        <source>Билинейная</source>
        <translation>Bilinear</translation>
    </message>
    <message>
        <source>Непрерывные величины: рельеф, температура, осадки</source>
        <translation>Continuous values: elevation, temperature, precipitation</translation>
    </message>
    <message>
        <source>Кубическая</source>
        <translation>Cubic</translation>
    </message>
    <message>
        <source>Снимки и рельеф: резче, чем среднее</source>
        <translation>Imagery and elevation: sharper than average</translation>
    </message>
    <message>
        <source>Кубический сплайн</source>
        <translation>Cubic spline</translation>
    </message>
    <message>
        <source>Рельеф: самые гладкие поверхности</source>
        <translation>Elevation: the smoothest surfaces</translation>
    </message>
    <message>
        <source>Ланцош</source>
        <translation>Lanczos</translation>
    </message>
    <message>
        <source>Снимки: самые резкие уровни, но медленнее остальных</source>
        <translation>Imagery: the sharpest levels, but slower than the others</translation>
    </message>
    <message>
        <source>Гаусс</source>
        <translation>Gauss</translation>
    </message>
    <message>
        <source>Снимки с шумом и резкими границами: мягкое сглаживание</source>
        <translation>Noisy imagery with sharp edges: gentle smoothing</translation>
    </message>
    <message>
        <source>Мода</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Классы (землепользование, почвы): самое частое значение</source>
        <translation>Classes (land use, soils): the most frequent value</translation>
    </message>
    <message>
        <source>Среднеквадратичное</source>
        <translation>Root mean square</translation>
    </message>
    <message>
        <source>Амплитуды, например радарные снимки: среднее квадратичное</source>
        <translation>Amplitudes such as radar imagery: the root mean square</translation>
    </message>
    <message>
        <source>Как у изображения</source>
        <translation>Same as the image</translation>
    </message>
    <message>
        <source>Уровни сжимаются так же, как само изображение</source>
        <translation>Levels are compressed the same way as the image itself</translation>
    </message>
    <message>
        <source>Без потерь, Deflate</source>
        <translation>Lossless, Deflate</translation>
    </message>
    <message>
        <source>Для любых данных; читают все программы</source>
        <translation>For any data; every program reads it</translation>
    </message>
    <message>
        <source>Без потерь, LZW</source>
        <translation>Lossless, LZW</translation>
    </message>
    <message>
        <source>Для любых данных; быстрее Deflate, но файл больше</source>
        <translation>For any data; faster than Deflate, but the file is larger</translation>
    </message>
    <message>
        <source>Без потерь, Zstandard</source>
        <translation>Lossless, Zstandard</translation>
    </message>
    <message>
        <source>Для любых данных; быстрее Deflate, читают GDAL 2.3 и новее</source>
        <translation>For any data; faster than Deflate, read by GDAL 2.3 and newer</translation>
    </message>
    <message>
        <source>С потерями, JPEG</source>
        <translation>Lossy, JPEG</translation>
    </message>
    <message>
        <source>Для 8-битных снимков без палитры: уровни в несколько раз меньше. Уровни других файлов сжимаются так же, как изображение</source>
        <translation>For 8-bit images without a palette: levels several times smaller. Levels of other files are compressed the same way as the image</translation>
    </message>
    <message>
        <source>Генератор пирамид для TIFF</source>
        <translation>TIFF Overview Builder</translation>
    </message>
    <message>
        <source>Построить</source>
        <translation>Build</translation>
    </message>
    <message>
        <source>Подождите...</source>
        <translation>Please wait...</translation>
    </message>
    <message>
        <source>Произошла какая-то ошибка!..</source>
        <translation>Something went wrong.</translation>
    </message>
    <message>
        <source>Построить пирамиды для отмеченых файлов</source>
        <translation>Build overviews for the checked files</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Добавить в список файлы, для которых требуется построить пирамиды</source>
        <translation>Add files that need overviews to the list</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Удалить выделенный файл из списка</source>
        <translation>Delete the selected file from the list</translation>
    </message>
    <message>
        <source>Загрузить из файла</source>
        <translation>Load from file</translation>
    </message>
    <message>
        <source>Загрузить список из файла</source>
        <translation>Load the list from a file</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Очистить список</source>
        <translation>Clear the list</translation>
    </message>
    <message>
        <source>Сохранить в файл</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>Сохранить список в файл</source>
        <translation>Save the list to a file</translation>
    </message>
    <message>
        <source>Папка назначения</source>
        <translation>Destination folder</translation>
    </message>
    <message>
        <source>Выбрать папку назначения</source>
        <translation>Choose the destination folder</translation>
    </message>
    <message>
        <source>В этой папке и её вложенных папках нет файлов TIFF (.tif, .tiff):</source>
        <translation>This folder and its subfolders hold no TIFF files (.tif, .tiff):</translation>
    </message>
    <message>
        <source>Это не файл TIFF (.tif, .tiff):</source>
        <translation>This is not a TIFF file (.tif, .tiff):</translation>
    </message>
    <message>
        <source>Ни один из этих файлов не TIFF (.tif, .tiff):</source>
        <translation>None of these files is a TIFF file (.tif, .tiff):</translation>
    </message>
    <message>
        <source>В этих папках и их вложенных папках нет файлов TIFF (.tif, .tiff):</source>
        <translation>These folders and their subfolders hold no TIFF files (.tif, .tiff):</translation>
    </message>
    <message>
        <source>Среди этих файлов и в этих папках нет файлов TIFF (.tif, .tiff):</source>
        <translation>There are no TIFF files (.tif, .tiff) among these files and in these folders:</translation>
    </message>
    <message>
        <source>Добавить папку...</source>
        <translation>Add folder...</translation>
    </message>
    <message>
        <source>Отметить неудачные</source>
        <translation>Check failed files</translation>
    </message>
    <message>
        <source>Подробности...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>Следующий неудачный</source>
        <translation>Next unsuccessful</translation>
    </message>
    <message>
        <source>Остановить построение</source>
        <translation>Stop the build</translation>
    </message>
    <message>
        <source>Остановить построение: Ctrl+. или Ctrl+Break</source>
        <translation>Stop the build: Ctrl+. or Ctrl+Break</translation>
    </message>
    <message>
        <source>Файлов в списке: %1</source>
        <translation>Files in list: %1</translation>
    </message>
    <message>
        <source>Выбрано: %1</source>
        <translation>Selected: %1</translation>
    </message>
    <message>
        <source>О программе...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Бесплатно распространяемая программа для построения пирамид в
TIFF-файлах. Построение пирамид позволяет существенно увеличить
скорость отображения растровой информации для крупных  масштабов в
программах Torvel 6, Torvel Lite 2 и
Torvel Viewer 3</source>
        <translation>A free program that builds overview pyramids inside TIFF files.
Overviews make raster data display much faster at large scales
in Torvel 6, Torvel Lite 2 and
Torvel Viewer 3</translation>
    </message>
    <message>
        <source>Разработка:
Андрей Северцев

2006-2009, Varnok Company</source>
        <translation>Developed by:
Andrey Severtsev

2006-2009, Varnok Company</translation>
    </message>
    <message>
        <source>Готово %1 из %2 · %3 · осталось %4</source>
        <translation>Done %1 of %2 · %3 · left %4</translation>
    </message>
    <message>
        <source>Построение останавливается, затем окно закроется</source>
        <translation>The build is stopping, then the window closes</translation>
    </message>
    <message>
        <source>Окно закроется после построения · остановить: Ctrl+.</source>
        <translation>The window closes after the build · stop: Ctrl+.</translation>
    </message>
    <message>
        <source>Окно закроется, когда построение закончится. Остановить построение сейчас: Ctrl+. или Ctrl+Break, или «Остановить построение» в меню списка (правая кнопка мыши на списке).</source>
        <translation>The window closes when the build ends. To stop the build now: Ctrl+. or Ctrl+Break, or &quot;Stop the build&quot; in the list&apos;s menu (right-click the list).</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Читать BigTIFF и все типы данных</source>
        <translation>Read BigTIFF and all data types</translation>
    </message>
    <message>
        <source>Пересоздавать COG с уровнями</source>
        <translation>Rewrite COGs with levels</translation>
    </message>
    <message>
        <source>Cloud Optimized GeoTIFF записывается заново как COG, с уровнями; без этого такой файл остаётся как есть</source>
        <translation>A Cloud Optimized GeoTIFF is written anew as a COG, with levels; otherwise such a file is left as it is</translation>
    </message>
    <message>
        <source>Передискретизация</source>
        <translation>Resampling</translation>
    </message>
    <message>
        <source>Сжатие уровней</source>
        <translation>Level compression</translation>
    </message>
    <message>
        <source>

F8: следующий файл с ошибкой, не найденный или остановленный.
Щелчок убирает эту строку.</source>
        <translation>

F8: the next failed, missing or stopped file.
A click removes this line.</translation>
    </message>
    <message>
        <source> Файлы для конвертирования </source>
        <translation> Files to process </translation>
    </message>
    <message>
        <source>Открыть справку Kelvory (kelvory.pdf)</source>
        <translation>Open the Kelvory guide (kelvory.pdf, in Russian)</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Версия 1.5</source>
        <translation>Version 1.5</translation>
    </message>
    <message>
        <source>Выберите папку назначения</source>
        <translation>Choose the destination folder</translation>
    </message>
    <message>
        <source>Не удалось открыть справку: программа для просмотра PDF не найдена или завершилась с ошибкой.

</source>
        <translation>Could not open the guide: no PDF viewer was found, or it failed.

</translation>
    </message>
    <message>
        <source>Файл справки не найден:

</source>
        <translation>The guide file was not found:

</translation>
    </message>
    <message>
        <source>Искали: %1 и в папках из переменной PATH.</source>
        <translation>Looked for: %1 and in the folders of the PATH variable.</translation>
    </message>
    <message>
        <source>Найденные файлы TIFF добавлены, но прочитать удалось не всё:</source>
        <translation>The TIFF files found were added, but not everything could be read:</translation>
    </message>
    <message>
        <source>Файлов TIFF не найдено, и прочитать удалось не всё:</source>
        <translation>No TIFF files were found, and not everything could be read:</translation>
    </message>
    <message>
        <source>Следующий файл с ошибкой, не найденный или остановленный</source>
        <translation>The next failed, missing or stopped file</translation>
    </message>
    <message>
        <source>Выберите папку с файлами TIFF</source>
        <translation>Choose a folder with TIFF files</translation>
    </message>
    <message>
        <source>остановлено · </source>
        <translation>stopped · </translation>
    </message>
    <message>
        <source>и ещё </source>
        <translation>and </translation>
    </message>
    <message>
        <source>TIFF-файлы (*.tif *.tiff)</source>
        <translation>TIFF files (*.tif *.tiff)</translation>
    </message>
    <message>
        <source>Текстовые файлы (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>Пирамиды построены; </source>
        <translation>Overviews built; </translation>
    </message>
    <message>
        <source>Пирамиды построены.</source>
        <translation>Overviews built.</translation>
    </message>
    <message>
        <source>Построение остановлено.</source>
        <translation>Build stopped.</translation>
    </message>
    <message>
        <source>Пирамиды построить не удалось.</source>
        <translation>Overviews could not be built.</translation>
    </message>
    <message>
        <source>Файл не найден.</source>
        <translation>File not found.</translation>
    </message>
    <message>
        <source>

Причина: </source>
        <translation>

Reason: </translation>
    </message>
    <message>
        <source> · останавливается</source>
        <translation> · stopping</translation>
    </message>
    <message>
        <source>построен</source>
        <translation>built</translation>
    </message>
    <message>
        <source>построены</source>
        <translation>built</translation>
    </message>
    <message>
        <source>Построены</source>
        <translation>Built</translation>
    </message>
    <message>
        <source>уже с пирамидами</source>
        <translation>already had overviews</translation>
    </message>
    <message>
        <source>Уже были с пирамидами</source>
        <translation>Already had overviews</translation>
    </message>
    <message>
        <source>оставлен как есть</source>
        <translation>kept as is</translation>
    </message>
    <message>
        <source>оставлены как есть</source>
        <translation>kept as is</translation>
    </message>
    <message>
        <source>Оставлены как есть</source>
        <translation>Kept as is</translation>
    </message>
    <message>
        <source>с ошибкой</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>С ошибкой</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>не найден</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>не найдены</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>Не найдены</source>
        <translation>Not found</translation>
    </message>
    <message>
        <source>остановлен</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>остановлены</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>Остановлены</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>Итог: %1</source>
        <translation>Summary: %1</translation>
    </message>
    <message>
        <source>%1 не найден</source>
        <translation>%1 not found</translation>
    </message>
    <message>
        <source>ru</source>
        <comment>the code of the language translated into</comment>
        <translation>en</translation>
    </message>
</context>
</TS>
