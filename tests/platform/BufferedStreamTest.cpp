#include "platform/BufferedStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/MemoryStream.h"

namespace kelvory {
namespace {

// Any sequence of reads gives the bytes, counts and positions the stream itself gives:
// within a block, across blocks, larger than a block, up to and past the end.
TEST(BufferedStream, ReadsAsTheStreamItWraps) {
  std::vector<std::uint8_t> bytes(10000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  platform::MemoryStream plain(bytes);
  platform::MemoryStream inner(bytes);
  platform::BufferedStream buffered(inner);
  const struct {
    std::uint64_t position;  // where to go first; all ones: on from the last read
    std::size_t count;
  } reads[] = {{0, 8},     {4090, 12}, {~0ULL, 12}, {100, 5000}, {~0ULL, 3}, {8190, 4},
               {9990, 20}, {~0ULL, 5}, {12000, 4},  {4096, 0},   {12, 12}};
  for (const auto& read : reads) {
    if (read.position != ~0ULL) {
      plain.SetPosition(read.position);
      buffered.SetPosition(read.position);
    }
    std::vector<std::uint8_t> want(read.count, 0xEE);
    std::vector<std::uint8_t> got(read.count, 0xEE);
    EXPECT_EQ(buffered.Read(got.data(), got.size()), plain.Read(want.data(), want.size())) << read.position;
    EXPECT_EQ(got, want) << read.position;
    EXPECT_EQ(buffered.Position(), plain.Position()) << read.position;
  }
  EXPECT_EQ(buffered.Size(), bytes.size());
}

}  // namespace
}  // namespace kelvory
