#pragma once
// The "Параметры" menu: how the next builds read files and resample levels, kept
// between runs.
#include <QMenu>
#include <QString>

#include <memory>

#include "pyramids/BuildOptions.h"

class QAction;
class QActionGroup;
class QSettings;

namespace kelvory {

class BuildSettingsMenu final : public QMenu {
  Q_OBJECT

 public:
  // settingsFile: where the choices are kept; empty takes the user's Kelvory settings.
  explicit BuildSettingsMenu(const QString& settingsFile, QWidget* parent = nullptr);
  ~BuildSettingsMenu() override;

  BuildOptions Options() const;

  QAction* WidenedReading;
  QMenu* ResamplingMenu;

 private:
  std::unique_ptr<QSettings> FSettings;
  QActionGroup* FResampling;
};

}  // namespace kelvory
