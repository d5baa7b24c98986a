#pragma once
// Turns the command line's paths and list files into the build's rows.
#include <functional>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"

namespace kelvory {

// Reads a list file into its lines; throws when the file cannot be read.
using ListReader = std::function<std::vector<std::string>(const std::string& path)>;

// The rows in source order. Empty entries are skipped, and so is an entry whose bytes
// equal those of an earlier row: the same rule as loading a list in the window.
std::vector<std::string> CollectRows(const std::vector<BatchSource>& sources,
                                     const ListReader& readList);

}  // namespace kelvory
