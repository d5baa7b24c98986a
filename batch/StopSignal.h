#pragma once
// Ctrl-C and termination requests. A signal handler can only set a flag, so this is
// the command's one piece of global state, kept here and nowhere else.

namespace kelvory {

// SIGINT and SIGTERM from now on only ask the build to stop.
void InstallStopSignalHandlers();

// True once either signal has arrived.
bool StopSignalled();

}  // namespace kelvory
