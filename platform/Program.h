#pragma once
#include <string>

namespace kelvory::platform {

// The full path of the running program's executable file; empty when it cannot be told.
std::string ProgramPath();

// The folder that holds the program's executable file, with a trailing '/'; empty when
// the program's path cannot be told.
std::string ProgramFolder();

}  // namespace kelvory::platform
