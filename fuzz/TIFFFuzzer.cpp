// Feeds arbitrary bytes to the TIFF reader, in both reading modes. The reader may
// refuse them only with its own exceptions; anything else (a crash, another exception,
// a broken invariant) is a finding. Where both modes read a file, they must agree on it:
// the widened mode only adds layouts and image kinds, it never reads a chain differently.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "tiff/TIFFBitmap.h"

namespace {

struct Size {
  bool read = false;  // false: the query raised one of the reader's exceptions
  std::int32_t width = -1;
  std::int32_t height = -1;
  bool operator==(const Size&) const = default;
};

struct Outcome {
  std::vector<Size> sizes;
  bool cog = false;
};

std::optional<Outcome> Read(const std::uint8_t* data, std::size_t size, kelvory::ReadingMode mode) {
  kelvory::platform::MemoryStream stream(data, size);
  kelvory::TTIFFBitmap bitmap(mode);
  try {
    bitmap.LoadFromStream(stream);
  } catch (const kelvory::Exception&) {
    if (bitmap.DirectoryCount() != 0 || bitmap.DeclaresCogLayout()) __builtin_trap();
    return std::nullopt;
  }
  Outcome outcome;
  outcome.cog = bitmap.DeclaresCogLayout();
  const std::int32_t count = bitmap.DirectoryCount();
  for (std::int32_t index = 1; index <= count; ++index) {
    Size entry;
    try {
      if (!bitmap.GetImageSize(index, entry.width, entry.height)) __builtin_trap();
      if (entry.width < 0 || entry.height < 0) __builtin_trap();
      entry.read = true;
    } catch (const kelvory::Exception&) {
      entry = Size{};
    }
    // Not compared between the modes: the widened mode decodes more field types.
    try {
      (void)bitmap.SubfileType(index);
    } catch (const kelvory::Exception&) {
    }
    if (bitmap.DirectoryCount() != count) __builtin_trap();
    outcome.sizes.push_back(entry);
  }
  std::int32_t width = -1, height = -1;
  if (bitmap.GetImageSize(count + 1, width, height) || width != -1 || height != -1) __builtin_trap();
  if (bitmap.SubfileType(count + 1) != 0) __builtin_trap();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<Outcome> classic = Read(data, size, kelvory::ReadingMode::Classic);
  const std::optional<Outcome> widened = Read(data, size, kelvory::ReadingMode::Widened);
  if (classic && widened) {
    if (classic->cog != widened->cog || classic->sizes.size() != widened->sizes.size()) __builtin_trap();
    for (std::size_t i = 0; i < classic->sizes.size(); ++i)
      if (classic->sizes[i].read && widened->sizes[i].read && !(classic->sizes[i] == widened->sizes[i]))
        __builtin_trap();
  }
  return 0;
}
