#include "pyramids/LevelCompression.h"

#include <algorithm>
#include <cctype>

namespace kelvory {
namespace {

constexpr char kLevelCompression[] = "COMPRESS_OVERVIEW";
constexpr std::uint32_t kUnsigned = 1;
constexpr std::uint32_t kPalette = 3;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

}  // namespace

bool CompressionSuits(const std::string& compression, const SampleKind& samples) {
  if (Upper(compression) == "JPEG")
    return samples.BitsPerSample == 8 && samples.SampleFormat == kUnsigned && samples.Photometric != kPalette;
  return true;
}

std::optional<Reason> UnsuitedLevelCompression(const BuildOptions& options, const SampleKind& samples) {
  for (const auto& [key, value] : options.Config) {
    if (Upper(key) == kLevelCompression && !CompressionSuits(value, samples))
      return MakeReason(ReasonCode::LevelCompressionUnsuited, {Upper(value), std::to_string(samples.BitsPerSample)});
  }
  return std::nullopt;
}

BuildOptions WithoutLevelCompression(BuildOptions options) {
  std::erase_if(options.Config, [](const auto& entry) { return Upper(entry.first) == kLevelCompression; });
  return options;
}

}  // namespace kelvory
