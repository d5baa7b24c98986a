#include <gtest/gtest.h>

#include "pyramids/LevelCompression.h"
#include "pyramids/LevelRule.h"
#include "pyramids/ToolCommand.h"
#include "platform/Errors.h"

namespace kelvory {
namespace {

// JPEG takes 8-bit unsigned samples without a palette; GDAL fails on any other file,
// whose levels then keep the image's compression. Other compressions take all.
TEST(LevelCompression, JpegOnlyFor8BitUnsignedImagesWithoutAPalette) {
  struct Case {
    const char* compression;
    SampleKind samples;
    bool suits;
  };
  const Case cases[] = {
      {"JPEG", {8, 1, 2}, true},    {"jpeg", {8, 1, 1}, true},     {"JPEG", {16, 1, 1}, false},
      {"JPEG", {32, 3, 1}, false},  {"JPEG", {8, 2, 1}, false},    {"JPEG", {8, 1, 3}, false},
      {"JPEG", {1, 1, 0}, false},   {"DEFLATE", {32, 3, 1}, true}, {"LZW", {16, 1, 1}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompressionSuits(c.compression, c.samples), c.suits) << c.compression << ' ' << c.samples.BitsPerSample;
  }
  BuildOptions options;
  options.Config = {{"GDAL_NUM_THREADS", "2"}, {"COMPRESS_OVERVIEW", "JPEG"}};
  EXPECT_FALSE(UnsuitedLevelCompression(options, {8, 1, 2}));
  EXPECT_EQ(UnsuitedLevelCompression(options, {16, 1, 1}),
            MakeReason(ReasonCode::LevelCompressionUnsuited, {"JPEG", "16"}));
  EXPECT_EQ(WithoutLevelCompression(options).Config, (decltype(options.Config){{"GDAL_NUM_THREADS", "2"}}));
}

TEST(LevelRule, ShorterSideDecidesAndHalfwayPointsSplitAsDocumented) {
  struct Case {
    int width, height, levels;
  };
  const Case cases[] = {
      {1, 1, -7},          {100, 100, 0},       {141, 5000, 0},      {142, 5000, 1},
      {5000, 141, 0},      {5000, 142, 1},      {282, 282, 1},       {283, 283, 2},
      {565, 900, 2},       {566, 900, 3},       {800, 1000, 3},      {1000, 800, 3},
      {1131, 1131, 3},     {1132, 1132, 4},     {2262, 2262, 4},     {2263, 2263, 5},
      {4525, 4525, 5},     {4526, 4526, 6},     {9050, 9050, 6},     {9051, 9051, 7},
      {18101, 18101, 7},   {18102, 18102, 8},   {36203, 36203, 8},   {36204, 36204, 9},
      {74145000, 74145000, 19},  {74146000, 74146000, 20},  // around 100 * 2^19.5
      {148291000, 148291000, 20}, {148292000, 148292000, 21},  // around 100 * 2^20.5
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LevelCount(c.width, c.height), c.levels) << c.width << " x " << c.height;
  }
}

TEST(LevelRule, ZeroOrNegativeSideHasNoLevelCount) {
  for (const auto& [w, h] : {std::pair{0, 800}, std::pair{800, 0}, std::pair{0, 0}, std::pair{-5, 800}}) {
    EXPECT_THROW(LevelCount(w, h), Exception) << w << " x " << h;
  }
}

TEST(ToolCommand, ArgumentsNameTheMethodUnlessItIsTheToolsDefault) {
  EXPECT_EQ(ToolArguments("/d/a b.tif", {2, 4, 8}), (std::vector<std::string>{"/d/a b.tif", "2", "4", "8"}));
  BuildOptions options;
  options.Method = Resampling::Average;
  options.Config = {{"COMPRESS_OVERVIEW", "DEFLATE"}, {"GDAL_NUM_THREADS", "2"}};
  EXPECT_EQ(ToolArguments("/d/a.tif", {4}, options),
            (std::vector<std::string>{"--config", "COMPRESS_OVERVIEW", "DEFLATE", "--config", "GDAL_NUM_THREADS", "2",
                                      "-r", "average", "/d/a.tif", "4"}));
  for (const Resampling method : kResamplingMethods) EXPECT_EQ(ResamplingNamed(GdalName(method)), method);
  EXPECT_EQ(ResamplingNamed("AVERAGE"), Resampling::Average);
  EXPECT_EQ(ResamplingNamed("Nearest"), Resampling::Nearest);
  EXPECT_EQ(ResamplingNamed("averages"), std::nullopt);
}

}  // namespace
}  // namespace kelvory
