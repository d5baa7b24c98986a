#pragma once
// A second name of a file in its own folder, under which a tool opens the file while
// every file it makes beside that name (GDAL's NAME.ovr, NAME.aux.xml) stays apart from
// the files other programs look for beside the first name.
#include <string>
#include <system_error>

namespace kelvory::platform {

// Makes alias name the file at target: a symbolic link where the system has them for
// everyone, else a hard link. Fails when alias exists or the filesystem takes neither.
std::error_code MakeAlias(const std::string& target, const std::string& alias);

// Makes a folder that file browsers do not show (its name should start with a dot; on
// Windows it is marked hidden as well). Fails when path exists.
std::error_code MakeHiddenFolder(const std::string& path);

}  // namespace kelvory::platform
