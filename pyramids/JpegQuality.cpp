#include "pyramids/JpegQuality.h"

#include <algorithm>
#include <array>
#include <map>

namespace kelvory {
namespace {

using Table = std::array<int, 64>;

// The example tables of the JPEG standard (its annex K), in natural order.
constexpr Table Luminance = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                             14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                             18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                             49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr Table Chrominance = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                               24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Where the k-th value of a table in the stream lies in natural order.
constexpr std::array<int, 64> ZigZag = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                        12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                        35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                        58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr std::uint8_t Marker = 0xFF;
constexpr std::uint8_t StartOfImage = 0xD8;
constexpr std::uint8_t EndOfImage = 0xD9;
constexpr std::uint8_t DefineQuantisation = 0xDB;
constexpr std::uint8_t DefineHuffman = 0xC4;

// libjpeg's jpeg_quality_scaling and jpeg_add_quant_table without forcing baseline,
// as libtiff calls it.
Table Scaled(const Table& base, int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  Table out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = std::clamp((base[i] * scale + 50) / 100, 1, 32767);
  return out;
}

struct Segments {
  std::map<int, Table> Quantisation;  // by table number, natural order
  bool Huffman = false;
  bool Valid = true;
};

// The segments of a JPEG abbreviated tables stream: SOI, then DQT and DHT segments.
Segments Read(std::span<const std::uint8_t> bytes) {
  Segments found;
  if (bytes.size() < 2 || bytes[0] != Marker || bytes[1] != StartOfImage) {
    found.Valid = false;
    return found;
  }
  std::size_t at = 2;
  while (at + 2 <= bytes.size() && bytes[at] == Marker && bytes[at + 1] != EndOfImage) {
    const std::uint8_t kind = bytes[at + 1];
    if (at + 4 > bytes.size()) break;
    const std::size_t length = std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
    if (length < 2 || at + 2 + length > bytes.size()) {
      found.Valid = false;
      break;
    }
    const std::size_t end = at + 2 + length;
    if (kind == DefineHuffman) found.Huffman = true;
    for (std::size_t p = at + 4; kind == DefineQuantisation && p < end;) {
      const int precision = bytes[p] >> 4;
      const int number = bytes[p] & 0x0F;
      const std::size_t width = precision == 0 ? 1 : 2;
      if (p + 1 + 64 * width > end) {
        found.Valid = false;
        return found;
      }
      Table table{};
      for (std::size_t k = 0; k < 64; ++k) {
        const std::size_t v = p + 1 + k * width;
        table[static_cast<std::size_t>(ZigZag[k])] = width == 1 ? bytes[v] : (bytes[v] << 8 | bytes[v + 1]);
      }
      found.Quantisation[number] = table;
      p += 1 + 64 * width;
    }
    at = end;
  }
  return found;
}

}  // namespace

std::optional<int> JpegQualityOf(std::span<const std::uint8_t> tables) {
  const Segments found = Read(tables);
  const auto luminance = found.Quantisation.find(0);
  if (!found.Valid || luminance == found.Quantisation.end()) return std::nullopt;
  const auto chrominance = found.Quantisation.find(1);
  for (int quality = 100; quality >= 1; --quality) {
    if (Scaled(Luminance, quality) != luminance->second) continue;
    if (chrominance != found.Quantisation.end() && Scaled(Chrominance, quality) != chrominance->second) continue;
    return quality;
  }
  return std::nullopt;
}

int JpegTablesModeOf(std::span<const std::uint8_t> tables) {
  const Segments found = Read(tables);
  return (found.Quantisation.empty() ? 0 : 1) | (found.Huffman ? 2 : 0);
}

}  // namespace kelvory
