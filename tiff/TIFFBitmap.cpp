#include "tiff/TIFFBitmap.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "tiff/FileLayout.h"
#include "tiff/TIFFConst.h"

namespace kelvory {

namespace {

constexpr std::uint16_t TagNewSubfileType = 254;
constexpr std::uint16_t TagImageWidth = 256;
constexpr std::uint16_t TagImageLength = 257;
constexpr std::uint16_t TagBitsPerSample = 258;
constexpr std::uint16_t TagPhotometric = 262;
constexpr std::uint16_t TagSampleFormat = 339;
constexpr std::uint16_t ClassicVersion = 42;
constexpr std::uint16_t BigTiffVersion = 43;
constexpr std::size_t LargestHeader = 16;
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
// whose layout it optimises: "GDAL_STRUCTURAL_METADATA_SIZE=nnnnnn bytes\n" followed
// by that many bytes of lines. GDAL takes a file for a COG when those lines say the
// directories come before the data, in row-major block order with the block leaders and
// trailers, and no later edit is known to have broken that (gdaladdo in place marks
// it with KNOWN_INCOMPATIBLE_EDITION=YES). A line LAYOUT=COG says it outright.
bool ReadsCogLayout(platform::Stream& stream, std::uint64_t headerSize) {
  static constexpr char Marker[] = "GDAL_STRUCTURAL_METADATA_SIZE=";
  static constexpr std::string_view Required[] = {"LAYOUT=IFDS_BEFORE_DATA", "BLOCK_ORDER=ROW_MAJOR",
                                                  "BLOCK_LEADER=SIZE_AS_UINT4",
                                                  "BLOCK_TRAILER=LAST_4_BYTES_REPEATED"};
  char text[1024];
  stream.SetPosition(headerSize);
  const std::size_t got = stream.Read(text, sizeof text);
  const std::string_view area(text, got);
  if (area.rfind(Marker, 0) != 0) return false;
  const std::size_t firstLine = area.find('\n');
  if (firstLine == std::string_view::npos) return false;
  std::size_t size = 0;
  for (std::size_t i = sizeof Marker - 1; i < firstLine && area[i] >= '0' && area[i] <= '9'; ++i)
    size = std::min(size * 10 + static_cast<std::size_t>(area[i] - '0'), sizeof text);
  const std::string_view metadata = area.substr(firstLine + 1, size);
  std::size_t found = 0;
  for (std::size_t at = 0; at < metadata.size();) {
    const std::size_t end = std::min(metadata.find('\n', at), metadata.size());
    const std::string_view line = metadata.substr(at, end - at);
    if (line == "LAYOUT=COG") return true;
    if (line == "KNOWN_INCOMPATIBLE_EDITION=YES") return false;
    for (std::size_t r = 0; r < std::size(Required); ++r)
      if (line == Required[r]) found |= std::size_t{1} << r;
    at = end + 1;
  }
  return found == (std::size_t{1} << std::size(Required)) - 1;
}

// The layout the header announces, and the offset of the first directory. The classic
// mode takes only "II" with version 42; the widened mode also "MM" (every number
// byte-swapped) and version 43, BigTIFF, whose header goes on with the offset width
// (8), a reserved 0 and a 64-bit first offset.
FileLayout ReadHeader(platform::Stream& stream, ReadingMode mode, std::uint64_t& first) {
  std::uint8_t header[LargestHeader];
  stream.SetPosition(0);
  if (!ReadExact(stream, header, 8)) throw TIFFError(TIFFFailure::UnsupportedFileType);
  FileLayout layout;
  if (header[0] == 'M' && header[1] == 'M' && mode == ReadingMode::Widened)
    layout.BigEndian = true;
  else if (header[0] != 'I' || header[1] != 'I')
    throw TIFFError(TIFFFailure::UnsupportedFileType);

  const std::uint64_t version = layout.Load(header + 2, 2);
  if (version == ClassicVersion) {
    first = layout.Load(header + 4, 4);
    return layout;
  }
  if (version != BigTiffVersion || mode != ReadingMode::Widened) throw TIFFError(TIFFFailure::UnsupportedFileType);
  layout.BigTiff = true;
  if (layout.Load(header + 4, 2) != 8 || layout.Load(header + 6, 2) != 0 || !ReadExact(stream, header + 8, 8))
    throw TIFFError(TIFFFailure::UnsupportedFileType);
  first = layout.Load(header + 8, 8);
  return layout;
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
    FBuffered = std::make_unique<platform::BufferedStream>(*FStream);
    platform::Stream& stream = *FBuffered;
    std::uint64_t next = 0;
    const FileLayout layout = ReadHeader(stream, FMode, next);

    // Directories of a sound file never share bytes. A chain that comes back to a
    // directory already read, or lands inside one, is broken; refusing overlaps also
    // bounds the walk, and every tag lookup in it, by the size of the file. An offset
    // inside the header ends the chain, as 0 does.
    DirectoryRanges ranges;
    while (next >= layout.HeaderSize()) {
      if (next >= stream.Size()) throw TIFFError(TIFFFailure::ReadError);
      if (ranges.Overlaps(next, next + 1)) throw TIFFError(TIFFFailure::StructureError);
      stream.SetPosition(next);
      auto directory = std::make_unique<TTIFFIFD>(stream, next, FMode, layout);
      const std::uint64_t start = directory->Offset();
      const std::uint64_t end = start + directory->Extent();
      if (ranges.Overlaps(start, end)) throw TIFFError(TIFFFailure::StructureError);
      ranges.Add(start, end);
      FDirectories.push_back(std::move(directory));
    }
    FCogLayout = ReadsCogLayout(stream, layout.HeaderSize());
  } catch (...) {
    Close();
    throw;
  }
}

bool TTIFFBitmap::GetImageSize(std::int32_t index, std::int32_t& width, std::int32_t& height) {
  if (index < 1 || index > DirectoryCount()) return false;
  TTIFFIFD& directory = *FDirectories[static_cast<std::size_t>(index) - 1];
  TagValues values;
  if (directory.ReadTag(TagImageWidth, values, 1) < 1) throw TIFFError(TIFFFailure::StructureError);
  width = values.Integer(0);
  if (directory.ReadTag(TagImageLength, values, 1) < 1) throw TIFFError(TIFFFailure::StructureError);
  height = values.Integer(0);
  return true;
}

SampleKind TTIFFBitmap::SamplesOf(std::int32_t index) {
  SampleKind kind;
  if (index < 1 || index > DirectoryCount()) return kind;
  TTIFFIFD& directory = *FDirectories[static_cast<std::size_t>(index) - 1];
  TagValues values;
  if (directory.ReadTag(TagBitsPerSample, values, 1) >= 1) kind.BitsPerSample = values.Unsigned(0);
  if (directory.ReadTag(TagSampleFormat, values, 1) >= 1) kind.SampleFormat = values.Unsigned(0);
  if (directory.ReadTag(TagPhotometric, values, 1) >= 1) kind.Photometric = values.Unsigned(0);
  return kind;
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
  FBuffered.reset();
  FOwnedStream.reset();
  FStream = nullptr;
  FFileName.clear();
  FOwnsStream = false;
  FCogLayout = false;
}

}  // namespace kelvory
