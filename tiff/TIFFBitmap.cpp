#include "tiff/TIFFBitmap.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <system_error>

#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "tiff/ChainWalker.h"
#include "tiff/TIFFError.h"
#include "tiff/TiffTags.h"

namespace kelvory {

namespace {

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

}  // namespace

TTIFFBitmap::~TTIFFBitmap() { Close(); }

bool TTIFFBitmap::LoadFromFile(const std::string& fileName) {
  // A copy: the caller may pass FileName(), which Close empties.
  const std::string name = fileName;
  Close();
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
    ChainWalker walker(stream, FMode);
    while (const std::optional<DirectoryPlace> place = walker.Next())
      FDirectories.push_back(std::make_unique<TTIFFIFD>(stream, *place, FMode, walker.Layout()));
    FCogLayout = ReadsCogLayout(stream, walker.Layout().HeaderSize());
  } catch (...) {
    Close();
    throw;
  }
}

bool TTIFFBitmap::GetImageSize(std::int32_t index, std::int32_t& width, std::int32_t& height) {
  if (index < 1 || index > DirectoryCount()) return false;
  TTIFFIFD& directory = *FDirectories[static_cast<std::size_t>(index) - 1];
  TagValues values;
  if (directory.ReadTag(TiffTag::ImageWidth, values, 1) < 1) throw TIFFError(TIFFFailure::StructureError);
  width = values.Integer(0);
  if (directory.ReadTag(TiffTag::ImageLength, values, 1) < 1) throw TIFFError(TIFFFailure::StructureError);
  height = values.Integer(0);
  return true;
}

SampleKind TTIFFBitmap::SamplesOf(std::int32_t index) {
  SampleKind kind;
  if (index < 1 || index > DirectoryCount()) return kind;
  TTIFFIFD& directory = *FDirectories[static_cast<std::size_t>(index) - 1];
  TagValues values;
  if (directory.ReadTag(TiffTag::BitsPerSample, values, 1) >= 1) kind.BitsPerSample = values.Unsigned(0);
  if (directory.ReadTag(TiffTag::SampleFormat, values, 1) >= 1) kind.SampleFormat = values.Unsigned(0);
  if (directory.ReadTag(TiffTag::Photometric, values, 1) >= 1) kind.Photometric = values.Unsigned(0);
  return kind;
}

std::uint32_t TTIFFBitmap::SubfileType(std::int32_t index) {
  if (index < 1 || index > DirectoryCount()) return 0;
  TagValues values;
  if (FDirectories[static_cast<std::size_t>(index) - 1]->ReadTag(TiffTag::NewSubfileType, values, 1) < 1) return 0;
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
  FCogLayout = false;
}

}  // namespace kelvory
