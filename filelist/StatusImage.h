#pragma once

namespace kelvory {

// Index into the list's four small status pictures.
enum StatusImage : int {
  StatusNone = -1,
  StatusInProgress = 0,
  StatusDone = 1,
  StatusFailed = 2,
  StatusNotFound = 3,
};

}  // namespace kelvory
