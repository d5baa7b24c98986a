#pragma once
#include <string>

#include "platform/Process.h"
#include "platform/Stream.h"
#include "pyramids/Reason.h"

namespace kelvory {

// The line of the tool's error output that best names the cause of a failure, or empty:
// the first line that says the disk is full, else the first line that begins with
// "ERROR" (later ones mostly follow from it). The tool may exit with 0 after such a
// line, having written overviews from data it could not read. Lines are cut at 4096 bytes.
std::string MostTellingErrorLine(platform::Stream& errorOutput);

// Why a tool run failed, or none when it succeeded: a signal, a non-zero exit status
// or an error line each make it a failure. A line that says the disk is full names
// writeFolder, where the tool wrote: the tool's own line names no place.
Reason ToolFailure(const platform::ProcessExit& exit, const std::string& errorLine, const std::string& writeFolder);

// The reason with every mention of the working copy's path in its arguments replaced
// by the user's own name for the file: the temporary path means nothing to the user.
Reason WithUserPath(Reason reason, const std::string& workingPath, const std::string& userPath);

}  // namespace kelvory
