#include "pyramids/BuildOptions.h"

namespace kelvory {

bool IsResamplingMethod(const std::string& name) {
  for (const char* method : ResamplingMethods) {
    if (name == method) return true;
  }
  return false;
}

}  // namespace kelvory
