#pragma once
#include "platform/Errors.h"

namespace kelvory {

// A command line that cannot be followed; its message says why.
class UsageError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace kelvory
