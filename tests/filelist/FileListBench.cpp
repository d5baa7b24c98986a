// Loads each list file given into a fresh list and prints the resulting row count. A
// folder given instead is walked for its TIFF files, which are then added as a drop
// adds them; the walk and the adding are timed apart.
#include <chrono>
#include <filesystem>
#include <iostream>

#include "filelist/FileList.h"
#include "filelist/FolderWalk.h"

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void AddFolder(const std::string& folder) {
  kelvory::FileList list;
  const auto walkStart = std::chrono::steady_clock::now();
  const kelvory::PathList files = kelvory::TiffFilesFor({folder}).files;
  const double walk = MillisecondsSince(walkStart);
  const auto addStart = std::chrono::steady_clock::now();
  list.AddFound(files);
  const double add = MillisecondsSince(addStart);
  std::cout << folder << ": " << list.FilesPanelText() << ", " << list.SelectedPanelText() << "; walk " << walk
            << " ms, add " << add << " ms\n";
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::filesystem::is_directory(argv[i])) {
      AddFolder(argv[i]);
      continue;
    }
    kelvory::FileList list;
    list.LoadFrom(argv[i]);
    std::cout << argv[i] << ": " << list.FilesPanelText() << ", " << list.SelectedPanelText() << '\n';
  }
  return 0;
}
