#include "app/BuildSettingsMenu.h"

#include <QActionGroup>
#include <QSettings>

#include <iterator>

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
    {"Ближайший сосед", "Классы, маски, номера участков: значения не смешиваются; быстрее всех"},
    {"Среднее", "Снимки и аэрофотосъёмка: гладкие уровни без ряби"},
    {"Билинейная", "Непрерывные величины: рельеф, температура, осадки"},
    {"Кубическая", "Снимки и рельеф: резче, чем среднее"},
    {"Кубический сплайн", "Рельеф: самые гладкие поверхности"},
    {"Ланцош", "Снимки: самые резкие уровни, но медленнее остальных"},
    {"Гаусс", "Снимки с шумом и резкими границами: мягкое сглаживание"},
    {"Мода", "Классы (землепользование, почвы): самое частое значение"},
    {"Среднеквадратичное", "Амплитуды, например радарные снимки: среднее квадратичное"},
};
static_assert(std::size(kResamplingWordings) == std::size(kResamplingMethods));

struct Compression {
  const char* gdalName;  // empty: no COMPRESS_OVERVIEW at all
  Wording wording;
};

// What GDAL writes for a TIFF file's levels.
constexpr Compression kCompressions[] = {
    {"", {"Как у изображения", "Уровни сжимаются так же, как само изображение"}},
    {"DEFLATE", {"Без потерь, Deflate", "Для любых данных; читают все программы"}},
    {"LZW", {"Без потерь, LZW", "Для любых данных; быстрее Deflate, но файл больше"}},
    {"ZSTD", {"Без потерь, Zstandard", "Для любых данных; быстрее Deflate, читают GDAL 2.3 и новее"}},
    {"JPEG", {"С потерями, JPEG", "Для 8-битных снимков без палитры: уровни в несколько раз меньше. Уровни других "
                                  "файлов сжимаются так же, как изображение"}},
};

// A choice's caption with GDAL's name for it in brackets, where the caption does not
// already say it ("Без потерь, LZW").
QString CaptionWithName(const char* caption, const char* gdalName) {
  const QString text = QString::fromUtf8(caption);
  const QString name = QString::fromLatin1(gdalName);
  if (name.isEmpty() || text.contains(name, Qt::CaseInsensitive)) return text;
  return text + " (" + name + ")";
}

}  // namespace

BuildSettingsMenu::BuildSettingsMenu(const QString& settingsFile, QWidget* parent)
    : QMenu(QString::fromUtf8("Параметры"), parent),
      FSettings(settingsFile.isEmpty() ? std::make_unique<QSettings>(QStringLiteral("Kelvory"), QStringLiteral("Kelvory"))
                                       : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)) {
  // Off until the user asks: the window starts with the classic reading.
  WidenedReading = addAction(QString::fromUtf8("Читать BigTIFF и все типы данных"));
  WidenedReading->setCheckable(true);
  WidenedReading->setChecked(FSettings->value(WidenedKey, false).toBool());
  connect(WidenedReading, &QAction::toggled, this, [this](bool on) {
    FSettings->setValue(WidenedKey, on);
    FSettings->sync();
  });

  // Off until asked: the file is written anew as a whole.
  RewriteCogs = addAction(QString::fromUtf8("Пересоздавать COG с уровнями"));
  RewriteCogs->setCheckable(true);
  RewriteCogs->setToolTip(QString::fromUtf8(
      "Cloud Optimized GeoTIFF записывается заново как COG, с уровнями; без этого такой файл остаётся как есть"));
  RewriteCogs->setChecked(FSettings->value(RewriteCogsKey, false).toBool());
  connect(RewriteCogs, &QAction::toggled, this, [this](bool on) {
    FSettings->setValue(RewriteCogsKey, on);
    FSettings->sync();
  });

  ResamplingMenu = addMenu(QString::fromUtf8("Передискретизация"));
  for (std::size_t i = 0; i < std::size(kResamplingMethods); ++i) {
    const char* method = GdalName(kResamplingMethods[i]);
    QAction* action = ResamplingMenu->addAction(CaptionWithName(kResamplingWordings[i].caption, method));
    action->setData(QString::fromLatin1(method));
    action->setToolTip(QString::fromUtf8(kResamplingWordings[i].hint));
  }
  FResampling = AddChoices(ResamplingMenu, ResamplingKey, QStringLiteral("nearest"));

  // Off, the tool's own way, until the user chooses.
  CompressionMenu = addMenu(QString::fromUtf8("Сжатие уровней"));
  for (const Compression& choice : kCompressions) {
    QAction* action = CompressionMenu->addAction(CaptionWithName(choice.wording.caption, choice.gdalName));
    action->setData(QString::fromLatin1(choice.gdalName));
    action->setToolTip(QString::fromUtf8(choice.wording.hint));
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
