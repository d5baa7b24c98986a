#pragma once
#include <string>

#include "platform/Process.h"

namespace kelvory {

// The last line of the tool's error output that begins with "ERROR", or empty. The tool
// may exit with 0 after such a line, having written overviews from data it could not read.
std::string LastErrorLine(const std::string& errorOutputPath);

// Why a tool run failed, or empty when it succeeded: a signal, a non-zero exit status
// or an error line each make it a failure.
std::string ToolFailure(const platform::ProcessExit& exit, const std::string& errorLine);

}  // namespace kelvory
