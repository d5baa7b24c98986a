#pragma once
// A private folder tree for one test: data files, a program folder whose gdal/gdaladdo
// is the real tool or a fake script, and a folder that TMPDIR points at.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kelvory::test {

namespace fs = std::filesystem;

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Runs a command of the test's own making, bounded in time; true when it exits 0.
inline bool Run(const std::string& command) {
  return std::system(("timeout 120 " + command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quoted(const std::string& path) {
  std::string out = "'";
  for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline bool ToolInstalled(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "kelvory-test-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    fs::create_directories(Tmp());
    fs::create_directories(Data());
    fs::create_directories(Program() + "gdal");
    const char* old = std::getenv("TMPDIR");
    hadTmpdir_ = old != nullptr;
    if (old) oldTmpdir_ = old;
    ::setenv("TMPDIR", Tmp().c_str(), 1);
  }
  ~Scratch() {
    for (const std::string& folder : mounted_) ::umount2(folder.c_str(), MNT_DETACH);
    if (hadTmpdir_) ::setenv("TMPDIR", oldTmpdir_.c_str(), 1); else ::unsetenv("TMPDIR");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    if (!otherTmp_.empty()) fs::remove_all(otherTmp_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::string Tmp() const { return root_ + "/tmp"; }
  std::string Data() const { return root_ + "/data/"; }
  // The program folder, with its trailing '/'.
  std::string Program() const { return root_ + "/prog/"; }
  std::string ToolPath() const { return Program() + "gdal/gdaladdo"; }

  void UseRealTool() const { fs::create_symlink(KELVORY_GDALADDO_PATH, ToolPath()); }
  // A fake tool's line that hands its arguments on to the real tool.
  static std::string RealToolCall() { return Quoted(KELVORY_GDALADDO_PATH) + " \"$@\""; }
  // A fake tool: a shell script; $1 is the working path, then the factors.
  void UseFakeTool(const std::string& body) const {
    WriteBytes(ToolPath(), "#!/bin/sh\n" + body + "\n");
    fs::permissions(ToolPath(), fs::perms::owner_all);
  }

  // A single-band Byte TIFF of the given size, made by GDAL.
  std::string MakeTiff(const std::string& name, int width, int height) const {
    const std::string path = Data() + name;
    EXPECT_TRUE(Run("gdal_create -of GTiff -outsize " + std::to_string(width) + " " + std::to_string(height) +
                    " -bands 1 -ot Byte " + Quoted(path)));
    return path;
  }

  // Points TMPDIR at a new folder on a filesystem other than the data's (a tmpfs), and
  // returns it; empty when the machine has none.
  std::string UseTmpOnAnotherFilesystem() {
    std::string pattern = "/dev/shm/kelvory-test-XXXXXX";
    struct stat shm {}, data {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(Data().c_str(), &data) != 0 || shm.st_dev == data.st_dev ||
        ::mkdtemp(pattern.data()) == nullptr) {
      return {};
    }
    otherTmp_ = pattern;
    ::setenv("TMPDIR", otherTmp_.c_str(), 1);
    return otherTmp_;
  }

  // Points TMPDIR at a new tmpfs of the given size, so that a tool can fill it; empty
  // when this process may not mount one.
  std::string UseSmallTmp(const std::string& size) {
    const std::string folder = MountSmall(size);
    if (!folder.empty()) ::setenv("TMPDIR", folder.c_str(), 1);
    return folder;
  }

  // A new folder on a tmpfs of its own of the given size; empty when this process may
  // not mount one.
  std::string MountSmall(const std::string& size) {
    const std::string folder = root_ + "/small" + std::to_string(mounted_.size());
    fs::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, ("size=" + size).c_str()) != 0) return {};
    mounted_.push_back(folder);
    return folder;
  }

  std::vector<std::string> TmpEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Tmp())) names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::string root_;
  std::string oldTmpdir_;
  std::string otherTmp_;
  std::vector<std::string> mounted_;
  bool hadTmpdir_ = false;
};

}  // namespace kelvory::test
