#include "app/BuildSettingsMenu.h"

#include <QActionGroup>
#include <QSettings>

#include <iterator>

#include "app/WindowText.h"

namespace kelvory {
namespace {

const QString WidenedKey = QStringLiteral("build/widenedReading");
const QString RewriteCogsKey = QStringLiteral("build/rewriteCogs");
const QString ResamplingKey = QStringLiteral("build/resampling");
const QString CompressionKey = QStringLiteral("build/overviewCompression");

struct Wording {
  const char* caption;
  const char* hint;
};

// In the order of kResamplingMethods.
constexpr Wording kResamplingWordings[] = {
    {QT_TRANSLATE_NOOP("Kelvory", "Ближайший сосед"),
     QT_TRANSLATE_NOOP("Kelvory", "Классы, маски, номера участков: значения не смешиваются; быстрее всех")},
    {QT_TRANSLATE_NOOP("Kelvory", "Среднее"),
     QT_TRANSLATE_NOOP("Kelvory", "Снимки и аэрофотосъёмка: гладкие уровни без ряби")},
    {QT_TRANSLATE_NOOP("Kelvory", "Билинейная"),
     QT_TRANSLATE_NOOP("Kelvory", "Непрерывные величины: рельеф, температура, осадки")},
    {QT_TRANSLATE_NOOP("Kelvory", "Кубическая"), QT_TRANSLATE_NOOP("Kelvory", "Снимки и рельеф: резче, чем среднее")},
    {QT_TRANSLATE_NOOP("Kelvory", "Кубический сплайн"),
     QT_TRANSLATE_NOOP("Kelvory", "Рельеф: самые гладкие поверхности")},
    {QT_TRANSLATE_NOOP("Kelvory", "Ланцош"),
     QT_TRANSLATE_NOOP("Kelvory", "Снимки: самые резкие уровни, но медленнее остальных")},
    {QT_TRANSLATE_NOOP("Kelvory", "Гаусс"),
     QT_TRANSLATE_NOOP("Kelvory", "Снимки с шумом и резкими границами: мягкое сглаживание")},
    {QT_TRANSLATE_NOOP("Kelvory", "Мода"),
     QT_TRANSLATE_NOOP("Kelvory", "Классы (землепользование, почвы): самое частое значение")},
    {QT_TRANSLATE_NOOP("Kelvory", "Среднеквадратичное"),
     QT_TRANSLATE_NOOP("Kelvory", "Амплитуды, например радарные снимки: среднее квадратичное")},
};
static_assert(std::size(kResamplingWordings) == std::size(kResamplingMethods));

struct Compression {
  const char* gdalName;  // empty: no COMPRESS_OVERVIEW at all
  Wording wording;
};

// What GDAL writes for a TIFF file's levels.
constexpr Compression kCompressions[] = {
    {"",
     {QT_TRANSLATE_NOOP("Kelvory", "Как у изображения"),
      QT_TRANSLATE_NOOP("Kelvory", "Уровни сжимаются так же, как само изображение")}},
    {"DEFLATE",
     {QT_TRANSLATE_NOOP("Kelvory", "Без потерь, Deflate"),
      QT_TRANSLATE_NOOP("Kelvory", "Для любых данных; читают все программы")}},
    {"LZW",
     {QT_TRANSLATE_NOOP("Kelvory", "Без потерь, LZW"),
      QT_TRANSLATE_NOOP("Kelvory", "Для любых данных; быстрее Deflate, но файл больше")}},
    {"ZSTD",
     {QT_TRANSLATE_NOOP("Kelvory", "Без потерь, Zstandard"),
      QT_TRANSLATE_NOOP("Kelvory", "Для любых данных; быстрее Deflate, читают GDAL 2.3 и новее")}},
    {"JPEG",
     {QT_TRANSLATE_NOOP("Kelvory", "С потерями, JPEG"),
      QT_TRANSLATE_NOOP("Kelvory",
                        "Для 8-битных снимков без палитры: уровни в несколько раз меньше. Уровни других "
                        "файлов сжимаются так же, как изображение")}},
};

// A choice's caption with GDAL's name for it in brackets, where the caption does not
// already say it ("Без потерь, LZW").
QString CaptionWithName(const char* caption, const char* gdalName) {
  const QString text = Tr(caption);
  const QString name = QString::fromLatin1(gdalName);
  if (name.isEmpty() || text.contains(name, Qt::CaseInsensitive)) return text;
  return text + " (" + name + ")";
}

}  // namespace

BuildSettingsMenu::BuildSettingsMenu(const QString& settingsFile, QWidget* parent)
    : QMenu(QCoreApplication::translate("Kelvory", "Параметры"), parent),
      FSettings(settingsFile.isEmpty()
                    ? std::make_unique<QSettings>(QStringLiteral("Kelvory"), QStringLiteral("Kelvory"))
                    : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)) {
  // Off until the user asks: the window starts with the classic reading.
  WidenedReading = addAction(QCoreApplication::translate("Kelvory", "Читать BigTIFF и все типы данных"));
  WidenedReading->setCheckable(true);
  WidenedReading->setChecked(FSettings->value(WidenedKey, false).toBool());
  connect(WidenedReading, &QAction::toggled, this, [this](bool on) {
    FSettings->setValue(WidenedKey, on);
    FSettings->sync();
  });

  // Off until asked: the file is written anew as a whole.
  RewriteCogs = addAction(QCoreApplication::translate("Kelvory", "Пересоздавать COG с уровнями"));
  RewriteCogs->setCheckable(true);
  RewriteCogs->setToolTip(QCoreApplication::translate(
      "Kelvory",
      "Cloud Optimized GeoTIFF записывается заново как COG, с уровнями; без этого такой файл остаётся как есть"));
  RewriteCogs->setChecked(FSettings->value(RewriteCogsKey, false).toBool());
  connect(RewriteCogs, &QAction::toggled, this, [this](bool on) {
    FSettings->setValue(RewriteCogsKey, on);
    FSettings->sync();
  });

  ResamplingMenu = addMenu(QCoreApplication::translate("Kelvory", "Передискретизация"));
  for (std::size_t i = 0; i < std::size(kResamplingMethods); ++i) {
    const char* method = GdalName(kResamplingMethods[i]);
    QAction* action = ResamplingMenu->addAction(CaptionWithName(kResamplingWordings[i].caption, method));
    action->setData(QString::fromLatin1(method));
    action->setToolTip(Tr(kResamplingWordings[i].hint));
  }
  FResampling = AddChoices(ResamplingMenu, ResamplingKey, QStringLiteral("nearest"));

  // Off, the tool's own way, until the user chooses.
  CompressionMenu = addMenu(QCoreApplication::translate("Kelvory", "Сжатие уровней"));
  for (const Compression& choice : kCompressions) {
    QAction* action = CompressionMenu->addAction(CaptionWithName(choice.wording.caption, choice.gdalName));
    action->setData(QString::fromLatin1(choice.gdalName));
    action->setToolTip(Tr(choice.wording.hint));
  }
  FCompression = AddChoices(CompressionMenu, CompressionKey, QString());
}

BuildSettingsMenu::~BuildSettingsMenu() = default;

QActionGroup* BuildSettingsMenu::AddChoices(QMenu* menu, const QString& key, const QString& fallback) {
  menu->setToolTipsVisible(true);
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  const QString chosen = FSettings->value(key, fallback).toString();
  for (QAction* action : menu->actions()) {
    action->setCheckable(true);
    action->setChecked(action->data().toString() == chosen);
    group->addAction(action);
  }
  if (group->checkedAction() == nullptr) group->actions().constFirst()->setChecked(true);
  connect(group, &QActionGroup::triggered, this, [this, key](QAction* action) {
    FSettings->setValue(key, action->data().toString());
    FSettings->sync();
  });
  return group;
}

BuildOptions BuildSettingsMenu::Options() const {
  BuildOptions options;
  options.Reading = WidenedReading->isChecked() ? ReadingMode::Widened : ReadingMode::Classic;
  options.RewriteCogs = RewriteCogs->isChecked();
  // The menu's choices stand in the order of kResamplingMethods; the name is only what
  // the settings keep.
  const qsizetype chosen = ResamplingMenu->actions().indexOf(FResampling->checkedAction());
  options.Method = kResamplingMethods[static_cast<std::size_t>(chosen)];
  const QString compression = FCompression->checkedAction()->data().toString();
  if (!compression.isEmpty()) options.Config.emplace_back("COMPRESS_OVERVIEW", compression.toStdString());
  return options;
}

}  // namespace kelvory
