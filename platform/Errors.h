#pragma once
// The program's exception types. The platform layer itself throws nothing; these
// live here because every subsystem above it raises them with the system's texts.
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace kelvory {

// The general error: its message is shown to the user as it stands.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An integer that does not fit, or a value of the wrong kind taken as an integer.
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

// An operation on a file that failed, with the file and the system's reason, so that
// a caller can tell a full disk from a missing file without reading the message.
class FileError : public Exception {
 public:
  FileError(const std::string& message, std::string path, std::error_code reason)
      : Exception(message), path_(std::move(path)), error_(reason) {}
  const std::string& Path() const { return path_; }
  std::error_code Error() const { return error_; }

 private:
  std::string path_;
  std::error_code error_;
};

// A file that cannot be opened: "Cannot open file "<full path>". <system text>".
class EFOpenError : public FileError {
 public:
  EFOpenError(const std::string& path, std::error_code reason);
};

// A file that cannot be created: "Cannot create file "<full path>". <system text>".
class EFCreateError : public FileError {
 public:
  EFCreateError(const std::string& path, std::error_code reason);
};

}  // namespace kelvory
