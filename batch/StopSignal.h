#pragma once
// Ctrl-C, termination requests and a lost terminal. A signal handler can only set a
// flag, so this is the command's one piece of global state, kept here and nowhere else.

namespace kelvory {

// SIGINT, SIGTERM and SIGHUP from now on only ask the build to stop; one that was
// ignored when the program started stays ignored.
void InstallStopSignalHandlers();

// True once any of them has arrived.
bool StopSignalled();

}  // namespace kelvory
