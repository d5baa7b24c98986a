#include "batch/Shard.h"

#include <charconv>

#include "batch/UsageError.h"

namespace kelvory {
namespace {

bool ParseCount(std::string_view text, int& value) {
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  return !text.empty() && error == std::errc() && end == last;
}

}  // namespace

Shard ParseShard(const std::string& text) {
  const auto slash = text.find('/');
  Shard shard;
  if (slash == std::string::npos || !ParseCount(std::string_view(text).substr(0, slash), shard.index) ||
      !ParseCount(std::string_view(text).substr(slash + 1), shard.count) || shard.count < 1 || shard.index < 1 ||
      shard.index > shard.count) {
    throw UsageError(UsageCode::BadShard, {text});
  }
  return shard;
}

std::uint64_t PathHash(std::string_view path) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

bool InShard(std::string_view path, const Shard& shard) {
  return PathHash(path) % static_cast<std::uint64_t>(shard.count) == static_cast<std::uint64_t>(shard.index - 1);
}

}  // namespace kelvory
