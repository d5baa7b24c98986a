#include "app/BuildSettingsMenu.h"

#include <QActionGroup>
#include <QSettings>

namespace kelvory {
namespace {
const QString WidenedKey = QStringLiteral("build/widenedReading");
const QString ResamplingKey = QStringLiteral("build/resampling");
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

  ResamplingMenu = addMenu(QString::fromUtf8("Передискретизация"));
  FResampling = new QActionGroup(this);
  FResampling->setExclusive(true);
  const QString chosen = FSettings->value(ResamplingKey, QStringLiteral("nearest")).toString();
  for (const Resampling value : kResamplingMethods) {
    const char* method = GdalName(value);
    QAction* action = ResamplingMenu->addAction(QString::fromLatin1(method));
    action->setCheckable(true);
    action->setData(QString::fromLatin1(method));
    action->setChecked(chosen == QLatin1String(method));
    FResampling->addAction(action);
  }
  if (FResampling->checkedAction() == nullptr) FResampling->actions().constFirst()->setChecked(true);
  connect(FResampling, &QActionGroup::triggered, this, [this](QAction* action) {
    FSettings->setValue(ResamplingKey, action->data().toString());
    FSettings->sync();
  });
}

BuildSettingsMenu::~BuildSettingsMenu() = default;

BuildOptions BuildSettingsMenu::Options() const {
  BuildOptions options;
  options.Reading = WidenedReading->isChecked() ? ReadingMode::Widened : ReadingMode::Classic;
  options.Method = ResamplingNamed(FResampling->checkedAction()->data().toString().toStdString())
                       .value_or(Resampling::Nearest);
  return options;
}

}  // namespace kelvory
