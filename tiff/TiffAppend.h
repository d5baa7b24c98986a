#pragma once
// Appending the directories of TIFF files (GDAL's external overview files) to the end of
// another TIFF file, so that one pointer write links them into its chain: the plan of
// what to write where, with every offset relocated and every value in the target's
// byte order and layout.
#include <cstdint>
#include <string>
#include <vector>

#include "tiff/TiffChain.h"

namespace kelvory {

// The NewSubfileType bits GDAL gives its levels.
inline constexpr std::uint32_t SubfileReduced = 1;
inline constexpr std::uint32_t SubfileMask = 4;

// The first tag of the directory whose value points at other bytes of its file (other
// than its image blocks), which copying it elsewhere would leave pointing at nothing;
// 0 when there is none.
std::uint16_t TagPointingIntoFile(const TiffDirectory& directory);

// How an overview file's directories become directories of the target.
enum class AppendedRole {
  Levels,     // reduced images of the target's first image
  MaskLevels  // reduced images of its transparency mask: kept as a mask, one sample, no colours
};

struct AppendSource {
  const TiffChain* Chain = nullptr;
  AppendedRole Role = AppendedRole::Levels;
};

// count bytes at From of source Source, written at To.
struct BlockCopy {
  std::size_t Source = 0;
  std::uint64_t From = 0;
  std::uint64_t To = 0;
  std::uint64_t Length = 0;
};

struct AppendPlan {
  // Where the first appended directory lies: the target's new link.
  std::uint64_t Start = 0;
  // Written at Start: every appended directory, then their values.
  std::vector<std::uint8_t> Structure;
  // The image blocks, after the structure, in the order of their sources.
  std::vector<BlockCopy> Blocks;
  // The target's length once everything is written.
  std::uint64_t End = 0;
};

// Where appended directories start in a file of this length: the next multiple of 8.
std::uint64_t AppendStart(std::uint64_t length);

// Plans the appending of every directory of the sources, in order, to a file laid out
// as target, starting at AppendStart of its length. Raises TIFFError: an unsupported
// image format for what cannot be carried over (a pointer into its file, a type TIFF
// does not define, a count that does not fit the target, a classic target past 4 GiB),
// a structure error for sources without a directory and for blocks listed twice or
// overlapping, a read error for blocks outside their file.
AppendPlan PlanAppend(const std::vector<AppendSource>& sources, const FileLayout& target, std::uint64_t length);

}  // namespace kelvory
