#include "pyramids/Sidecars.h"

#include <algorithm>
#include <system_error>

#include "platform/Files.h"
#include "platform/FolderEntries.h"

namespace kelvory {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return text;
}

// The entries of source's folder (names) whose lower-case name is one of wanted, sorted.
std::vector<std::string> Beside(const std::string& source, const FolderNames& names,
                                const std::vector<std::string>& wanted) {
  const std::string folder = platform::FolderOf(source);
  std::vector<std::string> found;
  for (const std::string& lower : wanted) {
    for (auto [it, end] = names.equal_range(lower); it != end; ++it) {
      const std::string path = folder + it->second;
      if (platform::FileExists(path)) found.push_back(path);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

FolderNames NamesIn(const std::string& folder) {
  FolderNames names;
  std::error_code error;
  for (std::string& name : platform::ListNames(folder, error)) names.emplace(Lower(name), std::move(name));
  return names;
}

std::vector<std::string> SidecarsOf(const std::string& source) {
  return SidecarsOf(source, NamesIn(platform::FolderOf(source)));
}

std::vector<std::string> SidecarsOf(const std::string& source, const FolderNames& names) {
  const std::string name = Lower(platform::FileNameOf(source));
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  std::vector<std::string> wanted{name + ".aux.xml", name + ".aux", name + ".msk"};
  for (const char* extension : {".tfw", ".tifw", ".tiffw", ".wld", ".prj", ".aux", ".tab", ".rpb", "_rpc.txt", ".imd"})
    wanted.push_back(stem + extension);
  // Case-insensitive names can pick up the raster itself on an odd name; never that.
  std::vector<std::string> found = Beside(source, names, wanted);
  std::erase_if(found, [&](const std::string& path) { return platform::FileNameOf(path) == platform::FileNameOf(source); });
  return found;
}

std::vector<ReadSidecar> SidecarsReadWithLevels(const std::string& source) {
  std::vector<ReadSidecar> read;
  // GDAL reads its metadata under this one spelling.
  if (platform::FileExists(source + ".aux.xml")) read.push_back({source + ".aux.xml", ".aux.xml"});
  if (const std::string mask = MaskFileOf(source); !mask.empty()) read.push_back({mask, ".msk"});
  return read;
}

std::string MaskFileOf(const std::string& source) {
  // GDAL itself looks for exactly these two spellings.
  for (const char* suffix : {".msk", ".MSK"}) {
    if (platform::FileExists(source + suffix)) return source + suffix;
  }
  return {};
}

std::string ExternalOverviewsOf(const std::string& source) {
  // GDAL itself looks for exactly these two spellings.
  for (const char* suffix : {".ovr", ".OVR"}) {
    if (platform::FileExists(source + suffix)) return source + suffix;
  }
  return {};
}

std::vector<std::string> ExternalLevelFilesOf(const std::string& source) {
  std::vector<std::string> files;
  const std::string overviews = ExternalOverviewsOf(source);
  if (overviews.empty()) return files;
  files.push_back(overviews);
  if (const std::string mask = MaskFileOf(source); !mask.empty()) {
    if (std::string maskOverviews = ExternalOverviewsOf(mask); !maskOverviews.empty()) {
      files.push_back(std::move(maskOverviews));
    }
  }
  return files;
}

}  // namespace kelvory
