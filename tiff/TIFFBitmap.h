#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/BufferedStream.h"
#include "platform/Stream.h"
#include "tiff/ReadingMode.h"
#include "tiff/TIFFIFD.h"

namespace kelvory {

// How a directory's image stores its samples, as its tags say (absent tags as TIFF
// defines them).
struct SampleKind {
  std::uint32_t BitsPerSample = 1;
  std::uint32_t SampleFormat = 1;  // 1 unsigned, 2 signed integer, 3 floating point
  std::uint32_t Photometric = 1;   // 3: palette
};

// A TIFF file opened for reading its structure: the header, the chain of directories
// and each directory's image size. Every failure is an exception after which the
// bitmap is closed. The mode (classic unless chosen) decides which files it takes.
class TTIFFBitmap {
 public:
  TTIFFBitmap() = default;
  explicit TTIFFBitmap(ReadingMode mode) : FMode(mode) {}
  ~TTIFFBitmap();
  TTIFFBitmap(const TTIFFBitmap&) = delete;
  TTIFFBitmap& operator=(const TTIFFBitmap&) = delete;

  // Opens the file read-only, keeping others from writing it until Close.
  bool LoadFromFile(const std::string& fileName);
  // Reads from a stream that stays the caller's; it must outlive the bitmap's use.
  bool LoadFromStream(platform::Stream& stream);

  std::int32_t DirectoryCount() const { return static_cast<std::int32_t>(FDirectories.size()); }
  // index is 1-based; false, with width and height untouched, when out of range.
  bool GetImageSize(std::int32_t index, std::int32_t& width, std::int32_t& height);
  void Close();

  // The NewSubfileType (tag 254) of directory index (1-based): bit 0 marks a
  // reduced-resolution image, bit 2 a transparency mask. 0 when the tag is absent.
  std::uint32_t SubfileType(std::int32_t index);
  // The samples of directory index (1-based); the defaults when out of range.
  SampleKind SamplesOf(std::int32_t index);
  // True when the file announces the layout of a Cloud Optimized GeoTIFF as GDAL
  // recognises it (its structural metadata right after the header describes that layout
  // and no later edit has broken it), which adding levels in place would break. Read by
  // LoadFromFile/LoadFromStream.
  bool DeclaresCogLayout() const { return FCogLayout; }

  ReadingMode Mode() const { return FMode; }
  void SetMode(ReadingMode mode) { FMode = mode; }

  const std::string& FileName() const { return FFileName; }

 private:
  void ReadStructure();

  platform::Stream* FStream = nullptr;
  std::unique_ptr<platform::Stream> FOwnedStream;
  // What the directories read through: the stream a block at a time.
  std::unique_ptr<platform::BufferedStream> FBuffered;
  std::string FFileName;
  std::vector<std::unique_ptr<TTIFFIFD>> FDirectories;
  ReadingMode FMode = ReadingMode::Classic;
  bool FCogLayout = false;
};

}  // namespace kelvory
