#pragma once
// The walk of a TIFF file's directory chain, shared by the reader and the appender: the
// header, then each directory's place, checked once here so that neither needs checks
// of its own.
#include <cstdint>
#include <map>
#include <optional>

#include "platform/Stream.h"
#include "tiff/FileLayout.h"
#include "tiff/ReadingMode.h"

namespace kelvory {

// The layout the header announces and the offset of the first directory. The classic
// mode takes only "II" with version 42; the widened mode also "MM" (every number
// byte-swapped) and version 43, BigTIFF. Raises TIFFError (unsupported file type).
FileLayout ReadTiffHeader(platform::Stream& stream, ReadingMode mode, std::uint64_t& first);

// Where one directory lies, from its entry count to its next-directory offset.
struct DirectoryPlace {
  std::uint64_t Offset = 0;      // of its entry count
  std::uint64_t EntryCount = 0;
  std::uint64_t NextPlace = 0;   // where its next-directory offset is stored
  std::uint64_t Next = 0;        // that offset

  std::uint64_t EntriesAt(const FileLayout& layout) const { return Offset + layout.EntryCountSize(); }
  std::uint64_t End(const FileLayout& layout) const { return NextPlace + layout.WordSize(); }
};

// Reads the entry count and next-directory offset of the directory at offset, without
// reading its entries, which must lie inside the file all the same. Raises TIFFError
// (read error) for a directory that does not.
DirectoryPlace ReadDirectoryPlace(platform::Stream& stream, std::uint64_t offset, const FileLayout& layout);

// Follows the chain from the header. A sound file's directories never share bytes: a
// chain that comes back to a directory already walked, or lands inside one, is broken,
// and refusing overlaps also bounds the walk by the size of the file. An offset inside
// the header ends the chain, as 0 does.
class ChainWalker {
 public:
  ChainWalker(platform::Stream& stream, ReadingMode mode);

  const FileLayout& Layout() const { return FLayout; }
  // The next directory's place; none at the end of the chain. Raises TIFFError.
  std::optional<DirectoryPlace> Next();

 private:
  bool Overlaps(std::uint64_t start, std::uint64_t end) const;

  platform::Stream& FStream;
  // Before the layout: reading the header sets it.
  std::uint64_t FNext = 0;
  FileLayout FLayout;
  // The byte ranges [start, end) of the directories walked so far.
  std::map<std::uint64_t, std::uint64_t> FWalked;
};

}  // namespace kelvory
