#pragma once
// Finding rows of the list by their outcome.
#include "filelist/FileList.h"

namespace kelvory {

// The first row after from, round past the end, that the last build did not get done:
// failed, stopped or not found; -1 when there is none. from may be -1.
inline int NextUnsuccessfulRow(const FileList& list, int from) {
  const int count = list.Model().rowCount();
  for (int step = 1; step <= count; ++step) {
    const int row = ((from + step) % count + count) % count;
    if (list.Model().Status(row) == StatusFailed || list.Model().Status(row) == StatusNotFound) return row;
  }
  return -1;
}

}  // namespace kelvory
