#include "tiff/TIFFBitmap.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "tiff/LittleEndian.h"
#include "tiff/TIFFConst.h"

namespace kelvory {

namespace {

constexpr std::uint16_t TagNewSubfileType = 254;
constexpr std::uint16_t TagImageWidth = 256;
constexpr std::uint16_t TagImageLength = 257;
constexpr std::uint16_t Version = 42;
constexpr std::uint32_t HeaderSize = 8;
// The byte ranges [start, end) of the directories read so far.
class DirectoryRanges {
 public:
  bool Overlaps(std::uint64_t start, std::uint64_t end) const {
    auto after = FRanges.upper_bound(start);
    if (after != FRanges.end() && after->first < end) return true;
    return after != FRanges.begin() && std::prev(after)->second > start;
  }
  void Add(std::uint64_t start, std::uint64_t end) { FRanges.emplace(start, end); }

 private:
  std::map<std::uint64_t, std::uint64_t> FRanges;
};

// GDAL writes its structural metadata as text right after the header of the files
// whose layout it optimises (COGs among them): "GDAL_STRUCTURAL_METADATA_SIZE=nnnnnn
// bytes\n", then lines such as "LAYOUT=IFDS_BEFORE_DATA". Once such a file has been
// changed in a way that broke the layout, GDAL adds "KNOWN_INCOMPATIBLE_EDITION=YES".
bool ReadsCogLayout(platform::Stream& stream, std::uint64_t headerSize) {
  static constexpr char Marker[] = "GDAL_STRUCTURAL_METADATA_SIZE=";
  char text[512];
  stream.SetPosition(headerSize);
  const std::size_t got = stream.Read(text, sizeof text);
  const std::string_view area(text, got);
  if (area.rfind(Marker, 0) != 0) return false;
  const std::size_t firstLine = area.find('\n');
  if (firstLine == std::string_view::npos) return false;
  std::size_t size = 0;
  for (std::size_t i = sizeof Marker - 1; i < firstLine && area[i] >= '0' && area[i] <= '9'; ++i)
    size = size * 10 + static_cast<std::size_t>(area[i] - '0');
  const std::string_view metadata = area.substr(firstLine + 1, size);
  bool ifdsFirst = false;
  bool broken = false;
  for (std::size_t at = 0; at < metadata.size();) {
    const std::size_t end = std::min(metadata.find('\n', at), metadata.size());
    const std::string_view line = metadata.substr(at, end - at);
    ifdsFirst = ifdsFirst || line == "LAYOUT=IFDS_BEFORE_DATA";
    broken = broken || line == "KNOWN_INCOMPATIBLE_EDITION=YES";
    at = end + 1;
  }
  return ifdsFirst && !broken;
}

}  // namespace

TTIFFBitmap::~TTIFFBitmap() { Close(); }

bool TTIFFBitmap::LoadFromFile(const std::string& fileName) {
  // A copy: the caller may pass FileName(), which Close empties.
  const std::string name = fileName;
  Close();
  FOwnsStream = true;
  FFileName = name;
  std::error_code error;
  FOwnedStream = platform::FileStream::Open(name, error);
  if (!FOwnedStream) {
    Close();
    throw EFOpenError(name, error);
  }
  FStream = FOwnedStream.get();
  ReadStructure();
  return true;
}

bool TTIFFBitmap::LoadFromStream(platform::Stream& stream) {
  // Directories read from an earlier stream must not mix with this one's.
  if (FStream != nullptr) Close();
  FStream = &stream;
  ReadStructure();
  return true;
}

void TTIFFBitmap::ReadStructure() {
  try {
    platform::Stream& stream = *FStream;
    stream.SetPosition(0);
    std::uint8_t header[HeaderSize];
    if (!le::ReadExact(stream, header, sizeof header) || header[0] != 'I' || header[1] != 'I' ||
        le::Load16(header + 2) != Version)
      throw Exception(SUnsupportedFileType);

    // Directories of a sound file never share bytes. A chain that comes back to a
    // directory already read, or lands inside one, is broken; refusing overlaps also
    // bounds the walk, and every tag lookup in it, by the size of the file.
    DirectoryRanges ranges;
    std::uint32_t next = le::Load32(header + 4);
    while (next >= HeaderSize) {
      if (ranges.Overlaps(next, std::uint64_t{next} + 1)) throw Exception(SStructureError);
      stream.SetPosition(next);
      auto directory = std::make_unique<TTIFFIFD>(stream, next);
      const std::uint64_t start = directory->Offset();
      const std::uint64_t end = start + directory->Extent();
      if (ranges.Overlaps(start, end)) throw Exception(SStructureError);
      ranges.Add(start, end);
      FDirectories.push_back(std::move(directory));
    }
    FCogLayout = ReadsCogLayout(stream, HeaderSize);
  } catch (...) {
    Close();
    throw;
  }
}

bool TTIFFBitmap::GetImageSize(std::int32_t index, std::int32_t& width, std::int32_t& height) {
  if (index < 1 || index > DirectoryCount()) return false;
  TTIFFIFD& directory = *FDirectories[static_cast<std::size_t>(index) - 1];
  TagValues values;
  if (directory.ReadTag(TagImageWidth, values, 1) < 1) throw Exception(SStructureError);
  width = values.Integer(0);
  if (directory.ReadTag(TagImageLength, values, 1) < 1) throw Exception(SStructureError);
  height = values.Integer(0);
  return true;
}

std::uint32_t TTIFFBitmap::SubfileType(std::int32_t index) {
  if (index < 1 || index > DirectoryCount()) return 0;
  TagValues values;
  if (FDirectories[static_cast<std::size_t>(index) - 1]->ReadTag(TagNewSubfileType, values, 1) < 1) return 0;
  return values.Unsigned(0);
}

void TTIFFBitmap::Close() {
  // The directories go first: they refer to the stream. Releasing a file stream
  // cannot fail here, its descriptor closes in a noexcept destructor.
  FDirectories.clear();
  FOwnedStream.reset();
  FStream = nullptr;
  FFileName.clear();
  FOwnsStream = false;
  FCogLayout = false;
}

}  // namespace kelvory
