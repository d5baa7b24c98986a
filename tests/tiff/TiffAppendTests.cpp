// Directories of an overview file appended to a file in every byte order and layout and
// read back; entries and blocks the planner refuses to carry over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "tests/tiff/TiffImage.h"
#include "tiff/TIFFBitmap.h"
#include "tiff/TIFFError.h"
#include "tiff/TiffAppend.h"
#include "tiff/TiffChain.h"

namespace kelvory {
namespace {

using test::Entry;
using test::TiffImage;

TiffChain ChainOf(const std::vector<std::uint8_t>& bytes) {
  platform::MemoryStream stream(bytes);
  return ReadTiffChain(stream);
}

// An entry's values as numbers of the width its type reverses in the other byte order
// (bytes one by one, rationals as two numbers each), comparable across layouts.
std::vector<std::uint64_t> Units(const TiffChain& chain, const TiffEntry& entry) {
  const std::uint32_t unit = TypeUnit(entry.Type);
  std::vector<std::uint64_t> units;
  for (std::size_t at = 0; at + unit <= entry.Values.size(); at += unit)
    units.push_back(chain.Layout.Load(entry.Values.data() + at, unit));
  return units;
}

const std::vector<std::uint8_t> BlockA = {1, 2, 3, 4}, BlockB = {5, 6, 7, 8, 9}, BlockC = {10, 11, 12};
const std::vector<std::uint64_t> JpegTables = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x05, 0x00, 0x07, 0x09, 0xFF, 0xD9};

// Two levels as GDAL writes them into an overview file: tiles of 16 with a sparse one,
// JPEG tables, ReferenceBlackWhite, GDAL's metadata and its no-data value; then strips.
// extra entries go into the first directory; offsets replace its tile offsets.
std::vector<std::uint8_t> Overviews(bool bigEndian, bool bigTiff, std::vector<Entry> extra = {},
                                    std::vector<std::uint64_t> offsets = {}) {
  TiffImage image = TiffImage::Wide(bigEndian, bigTiff);
  const std::uint64_t a = image.Data(BlockA), b = image.Data(BlockB), c = image.Data(BlockC);
  if (offsets.empty()) offsets = {a, 0, b};
  std::vector<Entry> first = {
      image.LongValue(254, 1), image.ShortValue(256, 48), image.ShortValue(257, 16),
      image.Values(258, test::Short, {8, 8, 8}), image.ShortValue(259, 7), image.ShortValue(262, 6),
      image.ShortValue(277, 3), image.ShortValue(322, 16), image.ShortValue(323, 16),
      image.Values(324, bigTiff ? test::Long8 : test::Long, offsets), image.Values(325, bigTiff ? test::Long8 : test::Long, {4, 0, 5}),
      image.Values(347, test::Undefined, JpegTables),
      image.Rationals(532, {0, 1, 255, 1, 128, 1, 255, 1, 128, 1, 255, 1}),
      image.Values(42112, test::Ascii, {'<', 'M', '/', '>', 0}), image.Values(42113, test::Ascii, {'0', 0})};
  first.insert(first.end(), extra.begin(), extra.end());
  const std::vector<Entry> second = {
      image.LongValue(254, 1), image.ShortValue(256, 24), image.ShortValue(257, 8),
      image.Values(258, test::Short, {8, 8, 8}), image.ShortValue(259, 7), image.ShortValue(262, 6),
      image.LongValue(273, c), image.ShortValue(277, 3), image.LongValue(279, 3)};
  const std::uint32_t one = image.Directory(first);
  const std::uint32_t two = image.Directory(second);
  image.SetNext(one, two);
  image.SetFirst(one);
  return image.Bytes();
}

// A file with one grey image, 48 x 16, in one strip.
std::vector<std::uint8_t> Target(bool bigEndian, bool bigTiff) {
  TiffImage image = TiffImage::Wide(bigEndian, bigTiff);
  const std::uint64_t strip = image.Data(std::vector<std::uint8_t>(48 * 16, 7));
  std::vector<Entry> entries = image.GreyEntries(48, 16);
  entries.push_back(image.LongValue(273, strip));
  entries.push_back(image.LongValue(279, 48 * 16));
  image.SetFirst(image.Directory(entries));
  return image.Bytes();
}

// The target with the plan carried out and the link written, as a build leaves it.
std::vector<std::uint8_t> Appended(std::vector<std::uint8_t> target, const std::vector<std::vector<std::uint8_t>>& sources,
                                   const AppendPlan& plan) {
  const TiffChain chain = ChainOf(target);
  target.resize(plan.End, 0);
  std::copy(plan.Structure.begin(), plan.Structure.end(), target.begin() + static_cast<std::ptrdiff_t>(plan.Start));
  for (const BlockCopy& block : plan.Blocks)
    std::copy_n(sources[block.Source].begin() + static_cast<std::ptrdiff_t>(block.From), block.Length,
                target.begin() + static_cast<std::ptrdiff_t>(block.To));
  const std::size_t width = chain.Layout.WordSize();
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t at = chain.Layout.BigEndian ? width - 1 - i : i;
    target[chain.Directories.back().NextPlace + at] = static_cast<std::uint8_t>(plan.Start >> (8 * i));
  }
  return target;
}

// The code, detail and tag of the planner's refusal, as the error names them; "" for a plan.
std::string PlanFailure(const std::vector<std::uint8_t>& overviews, std::uint64_t length = 1000) {
  const TiffChain chain = ChainOf(overviews);
  try {
    PlanAppend({{&chain, AppendedRole::Levels}}, FileLayout{}, length);
    return "";
  } catch (const TIFFError& e) {
    return e.what();
  }
}

std::string Refusal(TIFFFailure failure, TIFFDetail detail, std::uint16_t tag = 0) {
  return TIFFError(failure, detail, tag).what();
}

std::string ChainFailure(const std::vector<std::uint8_t>& bytes) {
  try {
    ChainOf(bytes);
    return "";
  } catch (const TIFFError& e) {
    return e.what();
  }
}

TEST(TiffChain, MalformedFilesAreRefusedWithTheReadersCodesAndTheirCause) {
  const auto grey = [](TiffImage& image, std::vector<Entry> extra = {}) {
    std::vector<Entry> entries = TiffImage::Grey(4, 4);
    entries.insert(entries.end(), extra.begin(), extra.end());
    return image.Directory(entries);
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string failure;
  };
  std::vector<Case> cases;
  cases.push_back({"not a TIFF", TiffImage(8, "XX").Bytes(), Refusal(TIFFFailure::UnsupportedFileType, TIFFDetail::UnknownHeader)});
  {
    TiffImage image;
    const std::uint32_t first = grey(image);
    image.SetNext(first, first);
    cases.push_back({"a chain that comes back", image.Bytes(), Refusal(TIFFFailure::StructureError, TIFFDetail::ChainLoops)});
  }
  cases.push_back({"a first directory past the end", TiffImage(4000).Bytes(), Refusal(TIFFFailure::ReadError, TIFFDetail::ChainLeavesFile)});
  {
    TiffImage image;
    grey(image, {{273, test::Long, 3, 4000}});
    cases.push_back({"values past the end", image.Bytes(), Refusal(TIFFFailure::ReadError, TIFFDetail::ValuesOutsideFile, 273)});
  }
  {
    TiffImage image;
    grey(image, {{273, test::Long, 0xFFFFFFFFu, 8}});
    cases.push_back({"a count beyond the file", image.Bytes(), Refusal(TIFFFailure::ReadError, TIFFDetail::ValuesOutsideFile, 273)});
  }
  {
    // Two directories that share one value block bigger than half the file.
    TiffImage image;
    const std::uint32_t block = image.Data(std::vector<std::uint8_t>(400, 1));
    const std::uint32_t first = grey(image, {{700, test::Byte, 400, block}});
    const std::uint32_t second = grey(image, {{700, test::Byte, 400, block}});
    image.SetNext(first, second);
    image.SetFirst(first);
    cases.push_back({"values shared past the file's size", image.Bytes(),
                     Refusal(TIFFFailure::StructureError, TIFFDetail::ValuesSharedPastFileSize, 700)});
  }
  {
    TiffImage image;
    grey(image);
    cases.push_back({"a directory cut short", image.Prefix(image.Size() - 6), Refusal(TIFFFailure::ReadError, TIFFDetail::DirectoryCutShort)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChainFailure(c.bytes), c.failure);
  }
}

TEST(TiffAppend, AppendedLevelsReadBackAlikeInEveryByteOrderAndLayout) {
  for (const bool fromBigEndian : {false, true}) {
    for (const bool fromBigTiff : {false, true}) {
      for (const bool toBigEndian : {false, true}) {
        for (const bool toBigTiff : {false, true}) {
          SCOPED_TRACE(std::to_string(fromBigEndian) + std::to_string(fromBigTiff) + " to " +
                       std::to_string(toBigEndian) + std::to_string(toBigTiff));
          const std::vector<std::uint8_t> overviews = Overviews(fromBigEndian, fromBigTiff);
          const TiffChain source = ChainOf(overviews);
          const std::vector<std::uint8_t> target = Target(toBigEndian, toBigTiff);
          const AppendPlan plan = PlanAppend({{&source, AppendedRole::Levels}}, ChainOf(target).Layout, target.size());
          EXPECT_EQ(plan.Start % 8, 0u);
          EXPECT_GE(plan.Start, target.size());
          const std::vector<std::uint8_t> result = Appended(target, {overviews}, plan);
          const TiffChain chain = ChainOf(result);
          ASSERT_EQ(chain.Directories.size(), 3u);

          for (std::size_t level = 0; level < 2; ++level) {
            const TiffDirectory& from = source.Directories[level];
            const TiffDirectory& to = chain.Directories[level + 1];
            for (const TiffEntry& entry : from.Entries) {
              SCOPED_TRACE(entry.Tag);
              const TiffEntry* copy = to.Find(entry.Tag);
              if (entry.Tag == TiffTag::GdalMetadata) {
                EXPECT_EQ(copy, nullptr);
                continue;
              }
              ASSERT_NE(copy, nullptr);
              if (entry.Tag == TiffTag::TileOffsets || entry.Tag == TiffTag::StripOffsets) {
                EXPECT_EQ(copy->Type, toBigTiff ? TiffType::Long8 : TiffType::Long);
                const std::vector<std::uint64_t> was = source.Numbers(entry), is = chain.Numbers(*copy);
                const auto countsTag = entry.Tag == TiffTag::TileOffsets ? TiffTag::TileByteCounts : TiffTag::StripByteCounts;
                const std::vector<std::uint64_t> counts = chain.Numbers(*to.Find(countsTag));
                ASSERT_EQ(is.size(), was.size());
                for (std::size_t i = 0; i < is.size(); ++i) {
                  // Every block's bytes where the offset now points; a sparse one stays 0.
                  EXPECT_EQ(is[i] == 0, was[i] == 0);
                  EXPECT_TRUE(std::equal(result.begin() + static_cast<std::ptrdiff_t>(is[i]),
                                         result.begin() + static_cast<std::ptrdiff_t>(is[i] + counts[i]),
                                         overviews.begin() + static_cast<std::ptrdiff_t>(was[i])));
                }
                continue;
              }
              EXPECT_EQ(Units(chain, *copy), Units(source, entry));
            }
          }
          // The reader takes the file whole.
          platform::MemoryStream stream(result);
          TTIFFBitmap bitmap(ReadingMode::Widened);
          ASSERT_TRUE(bitmap.LoadFromStream(stream));
          EXPECT_EQ(bitmap.DirectoryCount(), 3);
          EXPECT_EQ(bitmap.SubfileType(2), SubfileReduced);
        }
      }
    }
  }
}

TEST(TiffAppend, MaskLevelsBecomeOneSampleMasksWithoutColours) {
  TiffImage image;
  const std::uint64_t block = image.Data(BlockA);
  image.SetFirst(image.Directory({image.LongValue(254, 1), image.ShortValue(256, 8), image.ShortValue(257, 8),
                                  image.ShortValue(258, 1), image.ShortValue(259, 8), image.ShortValue(262, 1),
                                  image.LongValue(273, block), image.LongValue(279, 4), image.ShortValue(284, 2),
                                  image.Values(320, test::Short, {0, 65535, 0, 65535, 0, 65535})}));
  const TiffChain source = ChainOf(image.Bytes());
  const std::vector<std::uint8_t> target = Target(false, false);
  const AppendPlan plan = PlanAppend({{&source, AppendedRole::MaskLevels}}, FileLayout{}, target.size());
  const TiffChain chain = ChainOf(Appended(target, {image.Bytes()}, plan));
  ASSERT_EQ(chain.Directories.size(), 2u);
  EXPECT_EQ(chain.First(1, TiffTag::NewSubfileType), SubfileReduced | SubfileMask);
  EXPECT_EQ(chain.First(1, TiffTag::Photometric), 4u);
  EXPECT_EQ(chain.First(1, TiffTag::PlanarConfig), 1u);
  EXPECT_EQ(chain.Directories[1].Find(TiffTag::ColorMap), nullptr);
}

TEST(TiffAppend, WhatCannotBeCarriedOverIsRefused) {
  constexpr TIFFFailure Unsupported = TIFFFailure::UnsupportedImageFormat, Structure = TIFFFailure::StructureError;
  const std::uint64_t end = Overviews(false, false).size();
  struct Case {
    const char* name;
    std::vector<std::uint8_t> overviews;
    std::uint64_t length;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {"SubIFDs", Overviews(false, false, {{330, test::Long, 1, 8}}), 1000, Refusal(Unsupported, TIFFDetail::TagPointsIntoFile, 330)},
      {"an entry of type IFD", Overviews(false, false, {{700, 13, 1, 8}}), 1000, Refusal(Unsupported, TIFFDetail::TagPointsIntoFile, 700)},
      {"an unknown type", Overviews(false, false, {{700, 99, 1, 8}}), 1000, Refusal(Unsupported, TIFFDetail::TagOfUnknownType, 700)},
      {"a block past the end", Overviews(false, false, {}, {end - 2, 0, 16}), 1000,
       Refusal(TIFFFailure::ReadError, TIFFDetail::BlockOutsideFile)},
      {"blocks that overlap", Overviews(false, false, {}, {16, 0, 18}), 1000, Refusal(Structure, TIFFDetail::BlocksOverlap)},
      {"a classic file past 4 GiB", Overviews(false, false), 0xFFFFFFF0u, Refusal(Unsupported, TIFFDetail::PastClassicSize)},
      // Only one list would get the new offsets.
      {"a second list of tile offsets", Overviews(false, false, {{324, test::Long, 1, 16}}), 1000,
       Refusal(Structure, TIFFDetail::BlockListTwice, 324)},
      {"a second list of tile byte counts", Overviews(false, false, {{325, test::Long, 1, 4}}), 1000,
       Refusal(Structure, TIFFDetail::BlockListTwice, 325)},
      // The link would point at the file's end.
      {"no directory at all", TiffImage(0).Bytes(), 1000, Refusal(Structure, TIFFDetail::NoDirectory)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PlanFailure(c.overviews, c.length), c.failure);
  }
}

// A level with the subfile type it is given makes 65536 entries, which a classic
// directory's 16-bit count cannot hold; one entry fewer fits.
TEST(TiffAppend, DirectoryWithMoreEntriesThanAClassicCountIsRefused) {
  const auto overviews = [](std::size_t entries) {
    TiffImage image;
    const std::uint64_t block = image.Data(BlockA);
    std::vector<Entry> list = TiffImage::Grey(2, 2);
    list.push_back(image.LongValue(273, block));
    list.push_back(image.LongValue(279, 4));
    list.resize(entries, test::ShortTag(65000, 1));
    image.SetFirst(image.Directory(list));
    return image.Bytes();
  };
  const std::vector<std::uint8_t> target = Target(false, false);
  EXPECT_EQ(PlanFailure(overviews(65535), target.size()),
            Refusal(TIFFFailure::UnsupportedImageFormat, TIFFDetail::TooManyEntriesForClassic));

  const std::vector<std::uint8_t> fits = overviews(65534);
  const TiffChain source = ChainOf(fits);
  const AppendPlan plan = PlanAppend({{&source, AppendedRole::Levels}}, FileLayout{}, target.size());
  const TiffChain chain = ChainOf(Appended(target, {fits}, plan));
  ASSERT_EQ(chain.Directories.size(), 2u);
  EXPECT_EQ(chain.Directories[1].Entries.size(), 65535u);
}

}  // namespace
}  // namespace kelvory
