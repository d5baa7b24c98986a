// Loads each list file given into a fresh list and prints the resulting row count.
#include <iostream>

#include "filelist/FileList.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    kelvory::FileList list;
    list.LoadFrom(argv[i]);
    std::cout << argv[i] << ": " << list.FilesPanelText() << ", " << list.SelectedPanelText() << '\n';
  }
  return 0;
}
