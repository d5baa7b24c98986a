#pragma once
// The "Параметры" menu: how the next builds read files, resample and compress their
// levels, kept between runs. Each choice says in its tool tip when to take it.
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
  // A Cloud Optimized GeoTIFF gets its levels written anew as a COG, or is kept.
  QAction* RewriteCogs;
  // Each choice's data is GDAL's name for it ("average", "DEFLATE"; empty: the
  // levels compressed as the image is).
  QMenu* ResamplingMenu;
  QMenu* CompressionMenu;

 private:
  // A submenu of exclusive choices, the one kept under key checked.
  QActionGroup* AddChoices(QMenu* menu, const QString& key, const QString& fallback);

  std::unique_ptr<QSettings> FSettings;
  QActionGroup* FResampling;
  QActionGroup* FCompression;
};

}  // namespace kelvory
