#pragma once
#include <string>

#include "platform/Process.h"
#include "platform/Stream.h"

namespace kelvory {

// The line of the tool's error output that best names the cause of a failure, or empty:
// the first line that says the disk is full, else the first line that begins with
// "ERROR" (later ones mostly follow from it). The tool may exit with 0 after such a
// line, having written overviews from data it could not read. Lines are cut at 4096 bytes.
std::string MostTellingErrorLine(platform::Stream& errorOutput);

// Why a tool run failed, or empty when it succeeded: a signal, a non-zero exit status
// or an error line each make it a failure.
std::string ToolFailure(const platform::ProcessExit& exit, const std::string& errorLine);

// The reason with every mention of the working copy's path replaced by the user's own
// name for the file: the temporary path means nothing to the user.
std::string WithUserPath(std::string reason, const std::string& workingPath, const std::string& userPath);

}  // namespace kelvory
