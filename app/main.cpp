// Kelvory: builds overview pyramids inside TIFF files from a checklist window.
#include "app/About.h"
#include "app/Conv.h"
#include "app/KelvoryApplication.h"
#include "app/Pictures.h"
#include "app/StopSignal.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char** argv) {
  kelvory::KelvoryApplication application(argc, argv);
  application.setWindowIcon(kelvory::PyramidIcon());

  // Logout and shutdown end a build safely: no working copy is left behind.
  kelvory::StopSignal stopSignal;
  kelvory::ConvEnvironment environment;
  environment.stopSignal = &stopSignal;
  kelvory::TFConv FConv(environment);
  // The logo's page opens as the window opens documents, with its failures told.
  kelvory::TAboutBox AboutBox(nullptr, [&FConv](const QUrl& url) { FConv.OpenDocument(url); });
  FConv.SetAboutBox(&AboutBox);

  FConv.show();
  // Files given to the program (a file manager's "Open with") join the list as dropped
  // files do.
  const QStringList files = QCoreApplication::arguments().mid(1);
  if (!files.isEmpty())
    FConv.AddPaths(files);
  return application.exec();
}
