#pragma once
#include <cstdint>

namespace kelvory {

// The number of overview levels an image of this size should have, from its shorter
// side: the nearest integer to log2(side / 100), halfway cases to the even one. Zero or
// below for small images. Raises BuildError for a side of zero or less.
std::int32_t LevelCount(std::int32_t width, std::int32_t height);

// The most levels a tool command line can ask for.
inline constexpr std::int32_t MaxLevels = 20;

}  // namespace kelvory
