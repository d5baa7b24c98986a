// The widened reading: big-endian files, BigTIFF and every sample layout GDAL opens,
// with the classic mode still refusing them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "tests/tiff/TiffImage.h"
#include "tiff/TIFFBitmap.h"
#include "tests/tiff/ReaderFailure.h"
#include "tiff/TIFFIFD.h"

namespace kelvory {
namespace {

using test::Entry;
using test::TiffImage;

constexpr const char* RangeError = "ERangeError";

struct Layout {
  const char* name;
  bool bigEndian;
  bool bigTiff;
};
constexpr Layout Layouts[] = {
    {"II 42", false, false}, {"MM 42", true, false}, {"II 43", false, true}, {"MM 43", true, true}};

// The outcome of a load: "" on success, the reader's message, or RangeError. A failed
// load must leave the bitmap closed.
std::string Load(TTIFFBitmap& bitmap, platform::Stream& stream) {
  try {
    EXPECT_TRUE(bitmap.LoadFromStream(stream));
    return "";
  } catch (const ERangeError&) {
    EXPECT_EQ(bitmap.DirectoryCount(), 0);
    return RangeError;
  } catch (const Exception& e) {
    EXPECT_EQ(bitmap.DirectoryCount(), 0);
    return test::FailureName(e);
  }
}

std::string LoadIn(ReadingMode mode, const std::vector<std::uint8_t>& bytes) {
  TTIFFBitmap bitmap(mode);
  platform::MemoryStream stream(bytes);
  return Load(bitmap, stream);
}

// A full image, a reduced-resolution level and a mask of the full image, chained.
TiffImage LevelAndMask(const Layout& layout) {
  TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
  std::vector<Entry> full = image.GreyEntries(640, 480);
  std::vector<Entry> level = image.GreyEntries(320, 240);
  level.push_back(image.LongValue(254, 1));
  std::vector<Entry> mask = {image.LongValue(254, 4), image.LongValue(256, 640), image.LongValue(257, 480),
                             image.ShortValue(258, 1), image.ShortValue(259, 8), image.ShortValue(262, 4)};
  const std::uint32_t first = image.Directory(full);
  const std::uint32_t second = image.Directory(level);
  const std::uint32_t third = image.Directory(mask);
  image.SetNext(first, second);
  image.SetNext(second, third);
  return image;
}

TEST(WidenedHeader, EveryByteOrderAndLayoutReadsTheSameChain) {
  for (const Layout& layout : Layouts) {
    SCOPED_TRACE(layout.name);
    const TiffImage image = LevelAndMask(layout);
    TTIFFBitmap bitmap(ReadingMode::Widened);
    platform::MemoryStream stream(image.Bytes());
    ASSERT_EQ(Load(bitmap, stream), "");
    ASSERT_EQ(bitmap.DirectoryCount(), 3);
    const std::int32_t widths[] = {640, 320, 640};
    const std::uint32_t subfileTypes[] = {0, 1, 4};
    for (std::int32_t i = 1; i <= 3; ++i) {
      std::int32_t width = 0, height = 0;
      ASSERT_TRUE(bitmap.GetImageSize(i, width, height));
      EXPECT_EQ(width, widths[i - 1]);
      EXPECT_EQ(height, widths[i - 1] * 3 / 4);
      EXPECT_EQ(bitmap.SubfileType(i), subfileTypes[i - 1]);
    }
    EXPECT_FALSE(bitmap.DeclaresCogLayout());
    EXPECT_EQ(LoadIn(ReadingMode::Classic, image.Bytes()),
              layout.bigEndian || layout.bigTiff ? test::UnsupportedFileType : "");
  }
}

TEST(WidenedHeader, MalformedHeadersAreUnsupportedAndOffsetsInsideTheHeaderEndTheChain) {
  const std::vector<std::uint8_t> big = TiffImage::Wide(false, true).Bytes();  // II 43 8 0 16
  auto with = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> bytes = big;
    bytes[at] = value;
    return bytes;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string expected;
  };
  std::vector<Case> cases = {
      {"version 44", with(2, 44), test::UnsupportedFileType},
      {"BigTIFF offsets of 4 bytes", with(4, 4), test::UnsupportedFileType},
      {"BigTIFF reserved word not 0", with(6, 1), test::UnsupportedFileType},
      {"mixed order", with(1, 'M'), test::UnsupportedFileType},
      {"big-endian version read little-endian", {'M', 'M', 42, 0, 0, 0, 0, 0}, test::UnsupportedFileType},
      {"big-endian without directories", {'M', 'M', 0, 42, 0, 0, 0, 0}, ""},
  };
  for (std::size_t length = 8; length < 16; ++length)
    cases.push_back({"BigTIFF header cut", TiffImage::Wide(true, true).Prefix(length), test::UnsupportedFileType});
  for (std::uint8_t first = 0; first < 16; ++first) {
    std::vector<std::uint8_t> bytes = with(8, first);
    bytes.resize(64, 0);
    cases.push_back({"BigTIFF first offset inside the header", bytes, ""});
  }
  for (const Case& c : cases) {
    TTIFFBitmap bitmap(ReadingMode::Widened);
    platform::MemoryStream stream(c.bytes);
    EXPECT_EQ(Load(bitmap, stream), c.expected) << c.name << " (" << c.bytes.size() << " bytes)";
    EXPECT_EQ(bitmap.DirectoryCount(), 0) << c.name;
  }
}

struct KindCase {
  const char* name;
  std::uint32_t photometric;
  std::vector<std::uint64_t> samples;  // empty: no tag 277
  std::vector<std::uint64_t> bits;     // empty: no tag 258
  std::vector<std::uint64_t> formats;  // empty: no tag 339
  std::string expected;                // bits per pixel, or the message
};

// What constructing the one directory of the image gives in the widened mode.
std::string ConstructWidened(const TiffImage& image, const Layout& layout, std::uint32_t at) {
  platform::MemoryStream stream(image.Bytes());
  stream.SetPosition(at);
  std::uint64_t next = 0;
  try {
    TTIFFIFD directory(stream, next, ReadingMode::Widened, FileLayout{layout.bigEndian, layout.bigTiff});
    return std::to_string(directory.BitsPerPixel());
  } catch (const ERangeError&) {
    return RangeError;
  } catch (const Exception& e) {
    return test::FailureName(e);
  }
}

TEST(WidenedKinds, EverySampleLayoutGdalOpensIsTakenAndContradictionsAreRefused) {
  const std::string Unsupported = test::UnsupportedImageFormat;
  const std::string Structure = test::StructureError;
  const std::vector<KindCase> cases = {
      {"grey without bits", 1, {}, {}, {}, "1"},
      {"grey 1", 1, {1}, {1}, {}, "1"},
      {"grey 2", 0, {}, {2}, {}, "2"},
      {"grey 12", 1, {}, {12}, {1}, "12"},
      {"grey 32", 1, {}, {32}, {}, "32"},
      {"grey 64", 1, {}, {64}, {1}, "64"},
      {"Int32", 1, {1}, {32}, {2}, "32"},
      {"Float16", 1, {}, {16}, {3}, "16"},
      {"Float32", 1, {1}, {32}, {3}, "32"},
      {"Float64", 1, {}, {64}, {3}, "64"},
      {"CInt16", 1, {}, {32}, {5}, "32"},
      {"CFloat32", 1, {}, {64}, {6}, "64"},
      {"CFloat64", 1, {}, {128}, {6}, "128"},
      {"two bands, one value for both", 1, {2}, {16}, {1}, "32"},
      {"palette 1", 3, {}, {1}, {}, "1"},
      {"palette 2", 3, {}, {2}, {1}, "2"},
      {"palette 16", 3, {}, {16}, {}, "16"},
      {"palette without bits", 3, {}, {}, {}, "1"},
      {"RGB 8", 2, {3}, {8, 8, 8}, {1, 1, 1}, "24"},
      {"RGB without samples tag", 2, {}, {8, 8, 8}, {}, "24"},
      {"RGB one value for all", 2, {3}, {16}, {}, "48"},
      {"RGB Float32", 2, {3}, {32, 32, 32}, {3, 3, 3}, "96"},
      {"RGBA 16", 2, {4}, {16, 16, 16, 16}, {}, "64"},
      {"YCbCr", 6, {3}, {8, 8, 8}, {}, "24"},
      {"CMYK", 5, {4}, {8, 8, 8, 8}, {}, "32"},
      {"CIELab", 8, {3}, {8, 8, 8}, {}, "24"},
      {"mask", 4, {1}, {1}, {}, "1"},
      {"unknown photometric", 32844, {1}, {16}, {}, "16"},
      {"RGB with two values for three samples", 2, {3}, {8, 8}, {}, Structure},
      {"RGB with one sample", 2, {1}, {8}, {}, Structure},
      {"RGB without bits or samples", 2, {}, {}, {}, Structure},
      {"no samples", 1, {0}, {8}, {}, Structure},
      {"more samples than TIFF allows", 1, {65536}, {8}, {}, Structure},
      {"formats short of the samples", 1, {3}, {8}, {1, 1}, Structure},
      {"RGB of mixed depths", 2, {3}, {8, 8, 16}, {}, Unsupported},
      {"CMYK fourth depth differs", 5, {4}, {8, 8, 8, 16}, {}, Unsupported},
      {"bands of mixed formats", 1, {2}, {32, 32}, {1, 3}, Unsupported},
      {"bits 0", 1, {}, {0}, {}, Unsupported},
      {"grey 33", 1, {}, {33}, {}, Unsupported},
      {"grey 128 integers", 1, {}, {128}, {1}, Unsupported},
      {"Float8", 1, {}, {8}, {3}, Unsupported},
      {"complex integers of 16", 1, {}, {16}, {5}, Unsupported},
      {"sample format 7", 1, {}, {8}, {7}, Unsupported},
      {"palette 32", 3, {}, {32}, {}, Unsupported},
      {"palette of floats", 3, {}, {32}, {3}, Unsupported},
  };
  for (const Layout& layout : {Layouts[0], Layouts[3]}) {
    for (const KindCase& c : cases) {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      std::vector<Entry> entries = {image.LongValue(256, 4), image.LongValue(257, 4)};
      if (!c.bits.empty()) entries.push_back(image.Values(258, test::Short, c.bits));
      entries.push_back(image.ShortValue(259, 1));
      entries.push_back(image.ShortValue(262, c.photometric));
      if (!c.samples.empty()) entries.push_back(image.Values(277, test::Long, c.samples));
      if (!c.formats.empty()) entries.push_back(image.Values(339, test::Short, c.formats));
      const std::uint32_t at = image.Directory(entries);
      EXPECT_EQ(ConstructWidened(image, layout, at), c.expected) << c.name << " in " << layout.name;
    }
  }
}

TEST(WidenedKinds, PhotometricAndCompressionStayRequired) {
  for (const Layout& layout : Layouts) {
    struct Case {
      const char* name;
      std::vector<Entry> entries;
      std::string expected;
    };
    TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
    const std::vector<Case> cases = {
        {"no entries", {}, test::StructureError},
        {"no photometric", {image.ShortValue(259, 1)}, test::StructureError},
        {"no compression", {image.ShortValue(262, 1)}, test::StructureError},
        {"photometric as FLOAT", {image.ShortValue(259, 1), image.Values(262, test::Float, {1})}, test::StructureError},
        {"photometric as SSHORT", {image.ShortValue(259, 1), image.Values(262, test::SShort, {1})}, "1"},
        {"negative photometric", {image.ShortValue(259, 1), image.Values(262, test::SShort, {0xFFFF})}, RangeError},
        {"photometric beyond signed range", {image.ShortValue(259, 1), image.LongValue(262, 0x80000000)}, RangeError},
    };
    for (const Case& c : cases) {
      const std::uint32_t at = image.Directory(c.entries);
      EXPECT_EQ(ConstructWidened(image, layout, at), c.expected) << c.name << " in " << layout.name;
    }
  }
}

// Sizes of 2^31 and more are range errors whatever their type, never wrapped numbers.
TEST(WidenedSizes, ShortLongAndLong8SizesAndTheirLimits) {
  struct Case {
    const char* name;
    std::uint16_t type;
    std::uint64_t width;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"SHORT", test::Short, 65535, ""},
      {"LONG", test::Long, 0x7FFFFFFF, ""},
      {"LONG8", test::Long8, 0x7FFFFFFF, ""},
      {"IFD8 taken as a number", test::Ifd8, 77, ""},
      {"SLONG8", test::SLong8, 12, ""},
      {"LONG8 of 2^31", test::Long8, 0x80000000, RangeError},
      {"LONG8 above 32 bits", test::Long8, 0x100000005, RangeError},
      {"negative SLONG", test::SLong, 0xFFFFFFFF, RangeError},
      {"DOUBLE counts as absent", test::Double, 5, test::StructureError},
  };
  for (const Layout& layout : Layouts) {
    for (const Case& c : cases) {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      image.SetFirst(image.Directory({image.Values(256, c.type, {c.width}), image.ShortValue(257, 3),
                                      image.ShortValue(259, 1), image.ShortValue(262, 1),
                                      image.Values(254, c.type, {c.width})}));
      TTIFFBitmap bitmap(ReadingMode::Widened);
      platform::MemoryStream stream(image.Bytes());
      ASSERT_EQ(Load(bitmap, stream), "") << c.name << " in " << layout.name;
      std::int32_t width = -1, height = -1;
      std::string outcome;
      try {
        EXPECT_TRUE(bitmap.GetImageSize(1, width, height));
      } catch (const ERangeError&) {
        outcome = RangeError;
      } catch (const Exception& e) {
        outcome = test::FailureName(e);
      }
      EXPECT_EQ(outcome, c.expected) << c.name << " in " << layout.name;
      if (c.expected.empty()) {
        EXPECT_EQ(width, static_cast<std::int32_t>(c.width)) << c.name << " in " << layout.name;
        EXPECT_EQ(height, 3);
        EXPECT_EQ(bitmap.SubfileType(1), c.width) << c.name << " in " << layout.name;
      }
    }
  }
}

// Counts and offsets of 64 bits that no file of this size could hold fail before
// anything is allocated or walked.
TEST(WidenedBounds, ForgedCountsAndOffsetsAreReadErrorsAndLoopsStructureErrors) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string expected;
  };
  std::vector<Case> cases;
  for (const Layout& layout : {Layouts[2], Layouts[3]}) {
    {
      // Every tag the validation asks for is present, and 20 times the forged count
      // wraps to the true size of the entries: only the count's bound stops the read.
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      std::vector<Entry> entries = image.GreyEntries(8, 8);
      entries.push_back(image.ShortValue(277, 1));
      entries.push_back(image.ShortValue(339, 1));
      image.Directory(entries);
      std::vector<std::uint8_t> bytes = image.Bytes();
      bytes[layout.bigEndian ? 16 : 23] = 0x80;  // entry count 2^63 + 7
      cases.push_back({"entry count 2^63", bytes, test::ReadError});
    }
    {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      image.Directory(image.GreyEntries(8, 8));
      image.SetFirst(0xFFFFFFFFFFFFFFFF);
      cases.push_back({"first offset 2^64 - 1", image.Bytes(), test::ReadError});
    }
    for (const std::uint64_t count : {std::uint64_t{0xFFFFFFFFFFFFFFFF}, std::uint64_t{0x100000000}, std::uint64_t{100}}) {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      std::vector<Entry> entries = image.GreyEntries(8, 8);
      entries[2] = {258, test::Short, count, 16};
      image.Directory(entries);
      cases.push_back({"bits count beyond the file", image.Bytes(), test::ReadError});
    }
    {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      std::vector<Entry> entries = image.GreyEntries(8, 8);
      entries[2] = {258, test::Short, 5, 0xFFFFFFFFFFFFFFF0};
      image.Directory(entries);
      cases.push_back({"bits offset near 2^64", image.Bytes(), test::ReadError});
    }
    {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      image.Directory(image.GreyEntries(8, 8), 16);
      cases.push_back({"directory points at itself", image.Bytes(), test::StructureError});
    }
    {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      image.Directory(image.GreyEntries(8, 8), 16 + 8 + 20);
      cases.push_back({"next directory starts inside the first", image.Bytes(), test::StructureError});
    }
    {
      TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
      const std::uint32_t first = image.Directory(image.GreyEntries(8, 8));
      image.SetNext(first, image.Directory(image.GreyEntries(4, 4), first));
      cases.push_back({"second directory leads back to the first", image.Bytes(), test::StructureError});
    }
  }
  for (const Case& c : cases) EXPECT_EQ(LoadIn(ReadingMode::Widened, c.bytes), c.expected) << c.name;
}

// Every cut of a valid BigTIFF short of its full length fails: within the header as an
// unsupported type, anywhere later as a read error.
TEST(WidenedTruncation, EveryPrefixOfABigTiffFails) {
  for (const Layout& layout : {Layouts[2], Layouts[3]}) {
    TiffImage image = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
    std::vector<Entry> entries = {image.Values(256, test::Long8, {9}), image.LongValue(257, 7),
                                  {258, test::Short, 5, 0}, image.ShortValue(259, 1), image.ShortValue(262, 2),
                                  image.ShortValue(277, 5)};
    const std::uint32_t first = image.Directory(entries);
    image.SetNext(first, image.Directory(image.GreyEntries(4, 3)));
    const Entry bits = image.Values(258, test::Short, {8, 8, 8, 8, 8});  // out of line, at the very end
    image.SetValueOffset(first, 2, bits.field);
    ASSERT_EQ(LoadIn(ReadingMode::Widened, image.Bytes()), "") << layout.name;
    for (std::size_t length = 0; length < image.Size(); ++length) {
      const std::string expected = length < 16 ? test::UnsupportedFileType : test::ReadError;
      EXPECT_EQ(LoadIn(ReadingMode::Widened, image.Prefix(length)), expected) << layout.name << ", cut at " << length;
    }
  }
}

// Files the classic rules refuse, each with its message, and the widened mode reads.
TEST(ReadingModes, ClassicRefusesWhatWidenedReads) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string classic;
  };
  auto grey = [](std::uint32_t bits, std::uint32_t format, std::uint32_t photometric) {
    TiffImage image;
    image.Directory({test::LongTag(256, 4), test::LongTag(257, 4), test::ShortTag(258, static_cast<std::uint16_t>(bits)),
                     test::ShortTag(259, 1), test::ShortTag(262, static_cast<std::uint16_t>(photometric)),
                     test::ShortTag(339, static_cast<std::uint16_t>(format))});
    return image.Bytes();
  };
  const std::vector<Case> cases = {
      {"big-endian", LevelAndMask(Layouts[1]).Bytes(), test::UnsupportedFileType},
      {"BigTIFF", LevelAndMask(Layouts[2]).Bytes(), test::UnsupportedFileType},
      {"Float32 grey", grey(32, 3, 1), test::UnsupportedImageFormat},
      {"1-bit palette", grey(1, 1, 3), test::UnsupportedImageFormat},
      {"12-bit grey", grey(12, 1, 1), test::UnsupportedImageFormat},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadIn(ReadingMode::Classic, c.bytes), c.classic) << c.name;
    EXPECT_EQ(LoadIn(ReadingMode::Widened, c.bytes), "") << c.name;
  }
  // The mode can be changed between loads of one bitmap.
  TTIFFBitmap bitmap;
  EXPECT_EQ(bitmap.Mode(), ReadingMode::Classic);
  platform::MemoryStream stream(cases[0].bytes);
  EXPECT_EQ(Load(bitmap, stream), test::UnsupportedFileType);
  bitmap.SetMode(ReadingMode::Widened);
  EXPECT_EQ(Load(bitmap, stream), "");
  EXPECT_EQ(bitmap.DirectoryCount(), 3);
}

TEST(CogLayout, GdalsStructuralMetadataRightAfterTheHeaderDeclaresIt) {
  // As GDAL writes it for a COG, and for a GTiff copied with its overviews.
  const std::string lines =
      "LAYOUT=IFDS_BEFORE_DATA\nBLOCK_ORDER=ROW_MAJOR\nBLOCK_LEADER=SIZE_AS_UINT4\n"
      "BLOCK_TRAILER=LAST_4_BYTES_REPEATED\n";
  auto ghost = [](const std::string& text) {
    const std::string size = std::to_string(text.size());
    return "GDAL_STRUCTURAL_METADATA_SIZE=" + std::string(6 - size.size(), '0') + size + " bytes\n" + text;
  };
  const std::string cog = ghost(lines + "KNOWN_INCOMPATIBLE_EDITION=NO\n");
  struct Case {
    const char* name;
    std::size_t layout;
    std::string text;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"classic", 0, cog, true},
      {"big-endian", 1, cog, true},
      {"BigTIFF", 2, cog, true},
      {"big-endian BigTIFF", 3, cog, true},
      {"said outright", 2, ghost("LAYOUT=COG\n"), true},
      {"edited since", 0, ghost(lines + "KNOWN_INCOMPATIBLE_EDITION=YES\n"), false},
      {"no block trailers", 3, ghost("LAYOUT=IFDS_BEFORE_DATA\nBLOCK_ORDER=ROW_MAJOR\nBLOCK_LEADER=SIZE_AS_UINT4\n"),
       false},
      {"lines beyond the declared size", 0, ghost("BLOCK_ORDER=ROW_MAJOR\n") + lines, false},
      {"not right after the header", 2, std::string(8, '\0') + cog, false},
      {"no structural metadata", 1, lines, false},
  };
  for (const Case& c : cases) {
    const Layout& layout = Layouts[c.layout];
    TiffImage withText = TiffImage::Wide(layout.bigEndian, layout.bigTiff);
    withText.Data({c.text.begin(), c.text.end()});
    withText.SetFirst(withText.Directory(withText.GreyEntries(4, 4)));
    TTIFFBitmap bitmap(ReadingMode::Widened);
    platform::MemoryStream stream(withText.Bytes());
    ASSERT_EQ(Load(bitmap, stream), "") << c.name;
    EXPECT_EQ(bitmap.DeclaresCogLayout(), c.expected) << c.name;
    bitmap.Close();
    EXPECT_FALSE(bitmap.DeclaresCogLayout()) << c.name;
  }
}

}  // namespace
}  // namespace kelvory
