#pragma once

namespace kelvory::platform {

// The number of processors this process may run on; at least 1.
int ProcessorCount();

}  // namespace kelvory::platform
