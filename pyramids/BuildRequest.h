#pragma once
// Everything one build is asked to do: the files, the tool, how many tools run at
// once, and how files are read and levels made.
#include <string>
#include <system_error>
#include <vector>

#include "pyramids/BuildOptions.h"

namespace kelvory {

struct BuildRow {
  // The user's path of the file, as bytes.
  std::string Source;
  // The folder its copy is built in; empty: the file itself is updated in place.
  std::string DestinationFolder;
  // Why the path could not be read when the rows were collected (a folder a walk could
  // not list): the row then fails with that, untouched.
  std::error_code Unreadable;
};

struct BuildRequest {
  std::vector<BuildRow> Rows;
  // The tool's absolute path.
  std::string ToolPath;
  // How many tools may run at once; at least one runs.
  int Slots = 1;
  // The machine's processors: a tool that starts with fewer files left than slots gets
  // threads on those no other tool will use. 1: every tool runs on one thread.
  int Cores = 1;
  BuildOptions Options;
};

}  // namespace kelvory
