#pragma once
// What each system provides for WaitAny, which is written once in Process.cpp.
#include <span>
#include <system_error>

#include "platform/UniqueFd.h"

namespace kelvory::platform {

// Waits at most timeoutMs (-1: without end) until one of ends (each polls readable
// once its process has ended) or wake (-1: none) is ready; true when one of ends is.
// An interrupted wait returns false without an error.
bool WaitForEnd(std::span<const NativeFd> ends, NativeFd wake, int timeoutMs, std::error_code& error);

}  // namespace kelvory::platform
