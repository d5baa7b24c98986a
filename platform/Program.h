#pragma once
#include <string>
#include <vector>

namespace kelvory::platform {

// The full path of the running program's executable file; empty when it cannot be told.
std::string ProgramPath();

// The folder that holds the program's executable file, with a trailing separator
// ('\' on Windows); empty when the program's path cannot be told.
std::string ProgramFolder();

// The first executable regular file called name in the absolute folders of $PATH, in
// their order; empty when there is none. Relative entries (the current folder) are
// passed over: the program found must not depend on where the command runs.
std::string FindOnPath(const std::string& name);

// True when the program's environment has a variable called name, empty or not: the
// programs it starts inherit it.
bool HasEnvironmentVariable(const std::string& name);

// A program's file name as the system spells it: name on Linux, name.exe on Windows.
std::string ExecutableName(const std::string& name);

// The program that opens a document given its URL and says by its exit status
// whether anything took it (xdg-open); empty where the shell opens documents itself.
std::string DocumentOpenerProgram();

// The arguments after the program's name, as UTF-8 text: Windows hands main() its
// arguments in the ANSI code page, which lacks most letters, so they are taken from
// the system's wide command line there; elsewhere they are argv as given.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace kelvory::platform
