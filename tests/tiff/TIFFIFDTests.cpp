#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/MemoryStream.h"
#include "tests/tiff/TiffImage.h"
#include "tests/tiff/ReaderFailure.h"
#include "tiff/TIFFIFD.h"

namespace kelvory {
namespace {

using test::Entry;
using test::LongTag;
using test::ShortTag;
using test::TiffImage;

constexpr const char* RangeError = "ERangeError";

// What constructing the directory at `at` gives: its bits per pixel, the reader's
// message, or RangeError.
std::string Construct(const TiffImage& image, std::uint32_t at) {
  platform::MemoryStream stream(image.Bytes());
  stream.SetPosition(at);
  std::uint32_t next = 0;
  try {
    TTIFFIFD directory(stream, next);
    return std::to_string(directory.BitsPerPixel());
  } catch (const ERangeError&) {
    return RangeError;
  } catch (const Exception& e) {
    return test::FailureName(e);
  }
}

struct ValidationCase {
  const char* name;
  std::uint32_t photometric;
  std::uint16_t bitsType;
  std::vector<std::uint32_t> bits;  // empty: no tag 258
  std::string expected;
};

// Test listings and failures show the case as written in the table, not a byte dump.
void PrintTo(const ValidationCase& c, std::ostream* out) {
  *out << c.name << " (photometric " << c.photometric << ", bits {";
  for (std::size_t i = 0; i < c.bits.size(); ++i) *out << (i ? ", " : "") << c.bits[i];
  *out << "} -> " << c.expected << ")";
}

class ImageKindValidation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(ImageKindValidation, GivesBitsPerPixelOrRejects) {
  const ValidationCase& c = GetParam();
  TiffImage image;
  std::vector<Entry> entries = {LongTag(256, 4), LongTag(257, 4)};
  if (!c.bits.empty()) entries.push_back(image.Values(258, c.bitsType, c.bits));
  entries.push_back(ShortTag(259, 1));
  entries.push_back(LongTag(262, c.photometric));
  const std::uint32_t at = image.Directory(entries);
  EXPECT_EQ(Construct(image, at), c.expected);
}

const std::string Unsupported = test::UnsupportedImageFormat;
const std::string Structure = test::StructureError;

INSTANTIATE_TEST_SUITE_P(
    Table, ImageKindValidation,
    ::testing::Values(
        ValidationCase{"GreyWithoutBitsIsOneBit", 1, test::Short, {}, "1"},
        ValidationCase{"WhiteIsZeroWithoutBitsIsOneBit", 0, test::Short, {}, "1"},
        ValidationCase{"GreyOne", 0, test::Short, {1}, "1"},
        ValidationCase{"GreyFour", 1, test::Short, {4}, "4"},
        ValidationCase{"GreyEight", 1, test::Short, {8}, "8"},
        ValidationCase{"GreySixteen", 0, test::Long, {16}, "16"},
        ValidationCase{"GreyTwo", 1, test::Short, {2}, Unsupported},
        ValidationCase{"GreyTwelve", 1, test::Short, {12}, Unsupported},
        ValidationCase{"GreyThirtyTwo", 1, test::Short, {32}, Unsupported},
        ValidationCase{"GreyZero", 1, test::Short, {0}, Unsupported},
        ValidationCase{"GreyTwoSamplesLooksAtFirstOnly", 1, test::Short, {8, 3}, "8"},
        ValidationCase{"RgbEight", 2, test::Short, {8, 8, 8}, "24"},
        ValidationCase{"RgbSixteen", 2, test::Short, {16, 16, 16}, "48"},
        ValidationCase{"RgbaCountsThreeSamples", 2, test::Short, {8, 8, 8, 8}, "24"},
        ValidationCase{"RgbMixed", 2, test::Short, {8, 8, 16}, Unsupported},
        ValidationCase{"RgbFirstDiffers", 2, test::Short, {16, 8, 8}, Unsupported},
        ValidationCase{"RgbFour", 2, test::Short, {4, 4, 4}, Unsupported},
        ValidationCase{"RgbTwoValues", 2, test::Short, {8, 8}, Structure},
        ValidationCase{"RgbWithoutBits", 2, test::Short, {}, Structure},
        ValidationCase{"RgbZero", 2, test::Short, {0, 0, 0}, "0"},
        ValidationCase{"RgbInlineBytesDecodeFirstOnly", 2, test::Byte, {8, 8, 8}, Unsupported},
        ValidationCase{"RgbHugeEqualDepthsDoNotWrap", 2, test::Long,
                       {0x40000000, 0x40000000, 0x40000000}, RangeError},
        ValidationCase{"RgbDepthBeyondSignedRange", 2, test::Long, {0x80000000, 8, 8}, RangeError},
        ValidationCase{"CieLabEight", 8, test::Short, {8, 8, 8}, "24"},
        ValidationCase{"CieLabTwoValues", 8, test::Short, {8, 8}, Structure},
        ValidationCase{"PaletteOne", 3, test::Short, {1}, Unsupported},
        ValidationCase{"PaletteTwo", 3, test::Short, {2}, Unsupported},
        ValidationCase{"PaletteFour", 3, test::Short, {4}, "4"},
        ValidationCase{"PaletteEight", 3, test::Short, {8}, "8"},
        ValidationCase{"PaletteSixteen", 3, test::Short, {16}, Unsupported},
        ValidationCase{"PaletteWithoutBits", 3, test::Short, {}, Structure},
        ValidationCase{"SeparatedEight", 5, test::Short, {8, 8, 8, 8}, "32"},
        ValidationCase{"SeparatedSixteen", 5, test::Short, {16, 16, 16, 16}, "64"},
        ValidationCase{"SeparatedThreeValues", 5, test::Short, {8, 8, 8}, Structure},
        ValidationCase{"SeparatedFourthDiffers", 5, test::Short, {8, 8, 8, 16}, Unsupported},
        ValidationCase{"YCbCrIgnoresBits", 6, test::Short, {2, 3, 5}, "0"},
        ValidationCase{"MaskIgnoresBits", 4, test::Short, {}, "0"},
        ValidationCase{"SevenIgnoresBits", 7, test::Short, {12}, "0"},
        ValidationCase{"AboveEightIgnoresBits", 32844, test::Short, {}, "0"},
        ValidationCase{"PhotometricBeyondSignedRange", 0x80000000, test::Short, {8}, RangeError}),
    [](const ::testing::TestParamInfo<ValidationCase>& p) { return std::string(p.param.name); });

TEST(ImageKindValidation, BitsAsRationalOrFirstEntryUnusable) {
  struct Case {
    const char* name;
    std::uint16_t photometric;
    std::string expected;
  };
  // Rational bits: taking them as a number is a range error. A first tag-258 entry
  // of an unusable type hides a later good one, so the image counts as having none.
  for (const Case& c : {Case{"grey", 1, RangeError}, Case{"rgb", 2, RangeError}, Case{"palette", 3, RangeError}}) {
    TiffImage image;
    const Entry bits = image.Rationals(258, {8, 1, 8, 1, 8, 1});
    const std::uint32_t at = image.Directory({bits, ShortTag(259, 1), ShortTag(262, c.photometric)});
    EXPECT_EQ(Construct(image, at), c.expected) << c.name;
  }
  for (const Case& c : {Case{"grey", 1, "1"}, Case{"rgb", 2, Structure}, Case{"palette", 3, Structure}}) {
    TiffImage image;
    const Entry good = image.Values(258, test::Short, {8, 8, 8});
    const std::uint32_t at = image.Directory(
        {{258, test::Float, 3, 0}, good, ShortTag(259, 1), ShortTag(262, c.photometric)});
    EXPECT_EQ(Construct(image, at), c.expected) << c.name;
  }
}

TEST(DirectoryConstruction, RequiresUsablePhotometricAndCompression) {
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no entries", {}, Structure},
      {"no photometric", {ShortTag(259, 1)}, Structure},
      {"no compression", {ShortTag(262, 1)}, Structure},
      {"photometric count 0", {ShortTag(259, 1), {262, test::Short, 0, 1}}, Structure},
      {"photometric of type SLONG", {ShortTag(259, 1), {262, test::SLong, 1, 1}}, Structure},
      {"photometric of type 0", {ShortTag(259, 1), {262, 0, 1, 1}}, Structure},
      {"compression of type DOUBLE", {{259, test::Double, 1, 8}, ShortTag(262, 1)}, Structure},
      {"compression beyond signed range", {LongTag(259, 0x80000000), ShortTag(262, 1)}, RangeError},
      {"photometric first entry unusable, second good",
       {ShortTag(259, 1), {262, test::Float, 1, 1}, ShortTag(262, 1)}, Structure},
      {"first of two photometric entries wins", {ShortTag(259, 1), ShortTag(262, 6), ShortTag(262, 1)}, "0"},
      {"unsorted entries", {ShortTag(262, 1), ShortTag(259, 5), ShortTag(258, 4)}, "4"},
  };
  for (const Case& c : cases) {
    TiffImage image;
    const std::uint32_t at = image.Directory(c.entries);
    EXPECT_EQ(Construct(image, at), c.expected) << c.name;
  }
}

TEST(DirectoryConstruction, HandsBackNextOffsetAsStoredEvenWhenRejected) {
  TiffImage image;
  const std::uint32_t good = image.Directory({ShortTag(259, 7), ShortTag(262, 2), ShortTag(258, 8)}, 0xDEADBEEF);
  const std::uint32_t empty = image.Directory({}, 0x01020304);

  platform::MemoryStream stream(image.Bytes());
  std::uint32_t next = 0;
  stream.SetPosition(good);
  // RGB with a single bits-per-sample value: rejected after the offset was read.
  EXPECT_THROW(TTIFFIFD(stream, next), Exception);
  EXPECT_EQ(next, 0xDEADBEEFu);

  next = 0;
  stream.SetPosition(empty);
  try {
    TTIFFIFD directory(stream, next);
    FAIL() << "a directory without entries was accepted";
  } catch (const TIFFError& e) {
    EXPECT_EQ(e.Failure(), TIFFFailure::StructureError);
  }
  EXPECT_EQ(next, 0x01020304u);
}

// A directory that passes validation, with extra entries to query.
class TagLookup : public ::testing::Test {
 protected:
  TTIFFIFD& Make(std::vector<Entry> extra) {
    std::vector<Entry> entries = {ShortTag(259, 1), ShortTag(262, 6)};
    entries.insert(entries.end(), extra.begin(), extra.end());
    const std::uint32_t at = image_.Directory(entries);
    stream_ = std::make_unique<platform::MemoryStream>(image_.Bytes());
    stream_->SetPosition(at);
    std::uint32_t next = 0;
    directory_ = std::make_unique<TTIFFIFD>(*stream_, next);
    return *directory_;
  }

  TiffImage image_;
  std::unique_ptr<platform::MemoryStream> stream_;
  std::unique_ptr<TTIFFIFD> directory_;
};

TEST_F(TagLookup, InlineValuesDecodeOnlyTheFirstReducedToTheTypeWidth) {
  TTIFFIFD& d = Make({{300, test::Short, 2, 0x00090005},
                      {301, test::Short, 1, 0xABCD1234},
                      {302, test::Byte, 4, 0x44332211},
                      {303, test::Long, 1, 0xFFFFFFFF},
                      {304, test::Ascii, 3, 0x00636261}});
  TagValues v;
  ASSERT_EQ(d.ReadTag(300, v), 2);
  EXPECT_EQ(v.Integer(0), 5);
  EXPECT_TRUE(v.IsEmpty(1));
  EXPECT_EQ(v.Integer(1), 0);

  ASSERT_EQ(d.ReadTag(301, v), 1);
  EXPECT_EQ(v.Integer(0), 0x1234);

  ASSERT_EQ(d.ReadTag(302, v), 4);
  EXPECT_EQ(v.Integer(0), 0x11);
  EXPECT_TRUE(v.IsEmpty(3));

  ASSERT_EQ(d.ReadTag(303, v), 1);
  EXPECT_THROW(v.Integer(0), ERangeError);

  ASSERT_EQ(d.ReadTag(304, v), 3);
  EXPECT_EQ(v.Integer(0), 'a');
  EXPECT_TRUE(v.IsEmpty(1));
}

TEST_F(TagLookup, OutOfLineValuesDecodeEveryValue) {
  const Entry shorts = image_.Values(310, test::Short, {1, 65535, 3});
  const Entry longs = image_.Values(311, test::Long, {0x7FFFFFFF, 0});
  const Entry ascii = image_.Values(312, test::Ascii, {'k', 'e', 'l', 'v', 0});
  const Entry rationals = image_.Rationals(313, {72, 1, 0xFFFFFFFF, 3});
  TTIFFIFD& d = Make({shorts, longs, ascii, rationals});

  TagValues v;
  ASSERT_EQ(d.ReadTag(310, v), 3);
  EXPECT_EQ(v.Integer(1), 65535);
  EXPECT_EQ(v.Integer(2), 3);
  ASSERT_EQ(d.ReadTag(311, v), 2);
  EXPECT_EQ(v.Integer(0), 0x7FFFFFFF);
  EXPECT_FALSE(v.IsEmpty(1));
  ASSERT_EQ(d.ReadTag(312, v), 5);
  EXPECT_EQ(v.Integer(3), 'v');
  EXPECT_FALSE(v.IsEmpty(4));

  ASSERT_EQ(d.ReadTag(313, v), 2);
  EXPECT_TRUE(v.IsRational(1));
  EXPECT_EQ(v.Numerator(0), 72u);
  EXPECT_EQ(v.Denominator(0), 1u);
  EXPECT_EQ(v.Numerator(1), 0xFFFFFFFFu);
  EXPECT_EQ(v.Denominator(1), 3u);
  EXPECT_THROW(v.Integer(0), ERangeError);
}

TEST_F(TagLookup, ADecodeLimitStillChecksTheWholeBlock) {
  const Entry shorts = image_.Values(350, test::Short, {1, 2, 3, 4, 5});
  TTIFFIFD& d = Make({shorts});
  TagValues v;
  ASSERT_EQ(d.ReadTag(350, v, 2), 5);
  EXPECT_EQ(v.Integer(1), 2);
  EXPECT_TRUE(v.IsEmpty(2));
  EXPECT_TRUE(v.IsEmpty(4));
  EXPECT_THROW(v.Integer(5), ERangeError);
}

TEST_F(TagLookup, NoUsableEntryLeavesValuesUntouched) {
  TTIFFIFD& d = Make({{320, test::SLong, 1, 5}, LongTag(320, 9),
                      {321, test::Short, 0, 5}, ShortTag(321, 9),
                      {322, 13, 1, 5}});
  TagValues v(2);
  v.SetInteger(0, 42);
  for (std::uint16_t tag : {320, 321, 322, 399}) {
    EXPECT_EQ(d.ReadTag(tag, v), 0) << tag;
    ASSERT_EQ(v.Count(), 2u);
    EXPECT_EQ(v.Integer(0), 42);
  }
}

TEST_F(TagLookup, CountsThatCannotLieInTheFileAreReadErrorsBeforeAllocating) {
  image_.Data({1, 0, 2, 0});
  TTIFFIFD& d = Make({{330, test::Short, 0xFFFFFFFF, 8},
                      {331, test::Rational, 0x20000001, 8},
                      {332, test::Long, 0x40000001, 8},
                      {333, test::Short, 0x80000001, 8},
                      {334, test::Byte, 5, 0xFFFFFFFF},
                      {335, test::Rational, 1, 0xFFFFFFF0}});
  for (std::uint16_t tag : {330, 331, 332, 333, 334, 335}) {
    TagValues v;
    try {
      d.ReadTag(tag, v);
      ADD_FAILURE() << tag << " was read";
    } catch (const ERangeError&) {
      ADD_FAILURE() << tag << " gave a range error";
    } catch (const TIFFError& e) {
      EXPECT_EQ(e.Failure(), TIFFFailure::ReadError) << tag;
    }
  }
}

TEST(TagLookupAtEndOfFile, ValuesEndingAtTheLastByteAreRead) {
  for (std::uint32_t missing : {0u, 1u}) {
    TiffImage image;
    const std::uint32_t at = image.Directory({ShortTag(259, 1), ShortTag(262, 6), {340, test::Short, 3, 0}});
    image.SetValueOffset(at, 2, image.Data({1, 0, 2, 0, 3, 0}));
    const std::vector<std::uint8_t> bytes = image.Prefix(image.Size() - missing);
    platform::MemoryStream stream(bytes);
    stream.SetPosition(at);
    std::uint32_t next = 0;
    TTIFFIFD d(stream, next);
    TagValues v;
    if (missing == 0) {
      ASSERT_EQ(d.ReadTag(340, v), 3);
      EXPECT_EQ(v.Integer(2), 3);
    } else {
      for (std::uint32_t limit : {3u, 1u}) {
        try {
          d.ReadTag(340, v, limit);
          ADD_FAILURE() << "a cut value block was read, decoding " << limit;
        } catch (const TIFFError& e) {
          EXPECT_EQ(e.Failure(), TIFFFailure::ReadError);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kelvory
