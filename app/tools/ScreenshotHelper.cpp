// Shows the real main window for screenshots:
//   kelvory-screenshot                      a few files in the list, as after a build
//   kelvory-screenshot --build <program folder> <captured> <file>...
//                                           a real build of the files, with the tool
//                                           found in <program folder>/gdal/gdaladdo
// Once the window shows what it should, it prints "READY <x> <y> <width> <height>"
// (the window's frame on the screen). A build is then stopped once the file
// <captured> exists; either way the helper ends by itself after a minute so that it
// never lingers.
#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/About.h"
#include "app/Conv.h"
#include "app/KelvoryApplication.h"
#include "app/Pictures.h"
#include "filelist/FileList.h"

namespace {

void PrintReady(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  std::printf("READY %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
  std::fflush(stdout);
}

void ShowSettledRows(kelvory::TFConv& window) {
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
  for (const auto& s : settled) files.Settle(s.row, s.status, false, {});
  files.SetStatus(4, kelvory::StatusInProgress);
}

template <typename T>
T& Named(const QWidget& window, const char* name) {
  return *window.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char** argv) {
  kelvory::KelvoryApplication application(argc, argv);
  application.setWindowIcon(kelvory::PyramidIcon());
  const bool build = argc >= 4 && std::strcmp(argv[1], "--build") == 0;

  kelvory::ConvEnvironment environment;
  if (build) {
    environment.programFolder = std::string(argv[2]) + "/";
    environment.slotCount = 2;
  }
  kelvory::TFConv window(environment);
  kelvory::TAboutBox about;
  window.SetAboutBox(&about);
  QTimer::singleShot(60000, &application, [&window] {
    Named<QAction>(window, "Stop1").trigger();
    QCoreApplication::quit();
  });

  if (!build) {
    ShowSettledRows(window);
    window.show();
    QTimer::singleShot(1000, &window, [&window] { PrintReady(window); });
    return application.exec();
  }

  std::vector<std::string> files;
  for (int i = 4; i < argc; ++i) files.emplace_back(argv[i]);
  window.Files().AddFiles(files);
  window.show();
  const QString captured = QFile::decodeName(argv[3]);
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &window, [&] {
    if (QFile::exists(captured)) Named<QAction>(window, "Stop1").trigger();
  });
  // Late enough for an estimate of the time left and for the rows' percentages.
  QTimer::singleShot(5500, &window, [&window] { PrintReady(window); });
  QTimer::singleShot(200, &window, [&] {
    watch.start(100);
    Named<QPushButton>(window, "Button_Build").click();
    QCoreApplication::quit();
  });
  return application.exec();
}
