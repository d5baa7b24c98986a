#pragma once
// Whole-file operations on byte-string paths. Nothing here throws: failures come back
// as error codes with the system's reason.
#include <string>
#include <system_error>

namespace kelvory::platform {

// True when a regular file (not a folder) exists at path, following links.
bool FileExists(const std::string& path);

// True when a folder exists at path, following links.
bool FolderExists(const std::string& path);

// One version of a file: a write, a truncation or a replacement gives another one. The
// change time is in it too: a writer may set the modification time back, but not that.
struct FileStamp {
  unsigned long long Device = 0, Inode = 0;
  long long Size = 0, ModifiedSeconds = 0, ModifiedNanoseconds = 0;
  long long ChangedSeconds = 0, ChangedNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path, following links.
FileStamp StampOf(const std::string& path, std::error_code& error);

// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// True when the existing file at path lies on the same filesystem as the existing folder.
bool SameFileSystem(const std::string& path, const std::string& folder);

// Copies from onto to, replacing to's contents (a new file gets from's permissions).
// Copying a file onto itself leaves it untouched. Holes stay holes where the system
// tells them.
std::error_code CopyFile(const std::string& from, const std::string& to);

std::error_code DeleteFile(const std::string& path);

// Gives path the permission bits of the file at model, and its owner where allowed.
std::error_code CopyPermissions(const std::string& model, const std::string& path);

// No error when this process may write path: change a file, or add and remove entries
// of a folder. EACCES or EROFS otherwise; EACCES also when nobody has write permission,
// whatever the process's privileges.
std::error_code CheckWritable(const std::string& path);

// The path with every link and dot segment resolved; empty with error when it fails.
std::string ResolvedPath(const std::string& path, std::error_code& error);

// The folder part of path, with its trailing separator ('/', on Windows also '\'):
// "./" for a bare file name.
std::string FolderOf(const std::string& path);
// The part of path after its last separator.
std::string FileNameOf(const std::string& path);

// The bytes free for this process in the filesystem that holds path.
unsigned long long FreeSpace(const std::string& path, std::error_code& error);

// The system temporary folder: $TMPDIR, else /tmp (on Windows GetTempPath's), always
// with a trailing separator.
std::string TempFolder();

}  // namespace kelvory::platform
