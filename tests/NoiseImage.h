#pragma once
// An image with detail everywhere but a blank rectangle, as PGM (one band) or PPM
// (three), for tests that compare levels: resampling methods and JPEG qualities give
// different levels of it, and its first band makes a mask with a hole.
#include <cstdint>
#include <string>

namespace kelvory::test {

struct Blank {
  int Left, Right, Top, Bottom;  // x in [Left, Right), y in [Top, Bottom)
};

inline std::string NoiseImage(int width, int height, int bands, Blank blank) {
  std::string image = (bands == 1 ? "P5\n" : "P6\n") + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::uint32_t state = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int b = 0; b < bands; ++b) {
        state = state * 1103515245u + 12345u;
        const bool empty = x >= blank.Left && x < blank.Right && y >= blank.Top && y < blank.Bottom;
        image += static_cast<char>(empty ? 0 : 1 + ((x / 16 + y / 16) * 29 + b * 50 + (state >> 16) % 48) % 250);
      }
  return image;
}

}  // namespace kelvory::test
