// Kelvory: builds overview pyramids inside TIFF files from a checklist window.
#include "app/About.h"
#include "app/Conv.h"
#include "app/KelvoryApplication.h"
#include "app/Pictures.h"

int main(int argc, char** argv) {
  kelvory::KelvoryApplication application(argc, argv);
  application.setWindowIcon(kelvory::PyramidIcon());

  kelvory::TFConv FConv;
  kelvory::TAboutBox AboutBox;
  FConv.SetAboutBox(&AboutBox);

  FConv.show();
  return application.exec();
}
