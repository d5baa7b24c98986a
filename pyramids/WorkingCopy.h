#pragma once
// Moving files into place so that a reader of the target sees either the old file or
// the whole new one, never a half-written file.
#include <string>
#include <system_error>

#include "platform/TempFile.h"

namespace kelvory {

// Working copies in the temporary folder begin with this.
inline constexpr const char* TempPrefix = "kelvory";
// Files made beside a user's file, hidden so that one left by a crash does not look
// like one of the user's.
inline constexpr const char* StagePrefix = ".kelvory";

// Makes a new file in folder (ending in '/') holding a copy of source, with source's
// permissions. On failure staged is left empty and nothing remains in folder.
std::error_code StageCopy(const std::string& source, const std::string& folder, platform::TempFile& staged);

// Replaces target with the file of staged (durably, taking over an existing target's
// permissions and owner), which then no longer owns it. On failure target is unchanged
// and staged still owns its file.
std::error_code MoveIntoPlace(platform::TempFile& staged, const std::string& target);

// Replaces source (through any link, and keeping its permissions) with the processed
// working copy: renamed over it when both lie on one filesystem, else first copied
// into a new file beside the source. On failure source is unchanged and no partial
// file remains; working keeps its file either way until its owner removes it.
std::error_code ReplaceWithWorkingCopy(const std::string& source, platform::TempFile& working);

}  // namespace kelvory
