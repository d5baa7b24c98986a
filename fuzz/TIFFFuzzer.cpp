// Feeds arbitrary bytes to the TIFF reader. The reader may refuse them only with its
// own exceptions; anything else (a crash, another exception, a broken invariant) is a
// finding.
#include <cstddef>
#include <cstdint>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "tiff/TIFFBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvory::platform::MemoryStream stream(data, size);
  kelvory::TTIFFBitmap bitmap;
  try {
    bitmap.LoadFromStream(stream);
  } catch (const kelvory::Exception&) {
    if (bitmap.DirectoryCount() != 0) __builtin_trap();
    return 0;
  }
  const std::int32_t count = bitmap.DirectoryCount();
  for (std::int32_t index = 1; index <= count; ++index) {
    std::int32_t width = -1, height = -1;
    try {
      if (!bitmap.GetImageSize(index, width, height)) __builtin_trap();
      if (width < 0 || height < 0) __builtin_trap();
    } catch (const kelvory::Exception&) {
    }
    if (bitmap.DirectoryCount() != count) __builtin_trap();
  }
  std::int32_t width = -1, height = -1;
  if (bitmap.GetImageSize(count + 1, width, height) || width != -1 || height != -1) __builtin_trap();
  return 0;
}
