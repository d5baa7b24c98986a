// Shows the real main window with a few files in its list, for screenshots:
// kelvory-screenshot. Once the window is on the screen it prints
// "READY <x> <y> <width> <height>" (the window's frame on the screen) and then waits
// to be ended; it ends by itself after a minute so that it never lingers.
#include <QTimer>
#include <cstdio>

#include "app/About.h"
#include "app/Conv.h"
#include "app/KelvoryApplication.h"
#include "app/Pictures.h"
#include "filelist/FileList.h"

int main(int argc, char** argv) {
  kelvory::KelvoryApplication application(argc, argv);
  application.setWindowIcon(kelvory::PyramidIcon());

  kelvory::TFConv window;
  kelvory::TAboutBox about;
  window.SetAboutBox(&about);

  kelvory::FileList& files = window.Files();
  files.AddFiles({
      "/data/maps/ortho/ortho_2019_sheet_N-37-004.tif",
      "/data/maps/ortho/ortho_2019_sheet_N-37-005.tif",
      "/data/maps/topo/topo_25k_Kaluga_west.tif",
      "/data/maps/scans/scan_1968_sheet_12.tif",
      "/data/maps/dem/dem_srtm_N54E036.tif",
      "/data/maps/ortho/ortho_2021_sheet_N-37-016.tif",
      "/data/maps/ortho/ortho_2021_sheet_N-37-017.tif",
  });
  // As after part of a build: settled rows lose their check marks.
  const struct {
    int row;
    kelvory::StatusImage status;
  } settled[] = {
      {0, kelvory::StatusDone},
      {1, kelvory::StatusDone},
      {2, kelvory::StatusFailed},
      {3, kelvory::StatusNotFound},
  };
  for (const auto& s : settled) {
    window.SetRowStatus(s.row, s.status);
    window.SetRowChecked(s.row, false);
    window.SetSelectedCount(window.SelectedCount() - 1);
  }
  window.SetRowStatus(4, kelvory::StatusInProgress);
  window.UpdateCounters();

  window.show();
  QTimer::singleShot(1000, &window, [&window] {
    const QRect frame = window.frameGeometry();
    std::printf("READY %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
    std::fflush(stdout);
  });
  QTimer::singleShot(60000, &application, &QCoreApplication::quit);
  return application.exec();
}
