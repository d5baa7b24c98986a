#pragma once
// Splitting one command's rows among N processes started with the same arguments.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvory {

// Share K of N (1 <= K <= N); 1/1 takes every row.
struct Shard {
  int index = 1;
  int count = 1;

  bool operator==(const Shard&) const = default;
};

// "K/N"; throws UsageError.
Shard ParseShard(const std::string& text);

// FNV-1a over the path's bytes: the same on every host and in every run.
std::uint64_t PathHash(std::string_view path);

// True when the row with this path belongs to the share.
bool InShard(std::string_view path, const Shard& shard);

}  // namespace kelvory
