// Adds a folder's TIFF files to the real window, as a drop onto the list does, and
// prints how long the walk, the adding and the first paint of the list took:
//   kelvory-bench-window-add FOLDER        (QT_QPA_PLATFORM=offscreen needs no display)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "app/Conv.h"
#include "app/FileListView.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalk.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvory-bench-window-add FOLDER\n");
    return 2;
  }
  kelvory::TFConv window;
  window.show();
  QApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  const std::vector<std::string> files = kelvory::TiffFilesFor({argv[1]}).files;
  const qint64 walk = clock.nsecsElapsed();
  window.AddPaths({QFile::decodeName(argv[1])});  // walks again, then adds
  const qint64 walkAndAdd = clock.nsecsElapsed() - walk;
  window.ListView_Files->viewport()->grab();
  const qint64 paint = clock.nsecsElapsed() - walk - walkAndAdd;
  std::printf("%zu files; walk %.1f ms; walk and add to the window %.1f ms (adding alone %.1f ms); first paint %.1f ms; %s\n",
              files.size(), walk / 1e6, walkAndAdd / 1e6, (walkAndAdd - walk) / 1e6, paint / 1e6,
              window.PanelText(1).toUtf8().constData());
  return 0;
}
