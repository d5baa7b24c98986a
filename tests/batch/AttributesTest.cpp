// What a file carries beside its bytes survives a build in place: the working copy that
// replaces it is given its owner, group, mode, extended attributes and ACL, and a file
// whose working copy could not be given them takes the append way or is kept.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/batch/BatchFixture.h"
#include "tests/batch/ChildProcess.h"

namespace kelvory::test {
namespace {

constexpr const char* Setfacl = "/usr/bin/setfacl";
constexpr const char* Setpriv = "/usr/bin/setpriv";
// A user and two groups no one on the machine has: the builder, its group, and the
// group it shares with the files' owner.
constexpr uid_t Builder = 4242;
constexpr gid_t Shared = 4243;
constexpr uid_t Owner = 4244;

// Every extended attribute of the file with its value; ACLs are among them.
std::map<std::string, std::string> Attributes(const fs::path& path) {
  std::map<std::string, std::string> attributes;
  std::string names(65536, '\0');
  const ssize_t size = ::listxattr(path.c_str(), names.data(), names.size());
  for (std::size_t at = 0; size > 0 && at < static_cast<std::size_t>(size);) {
    const std::string name(names.data() + at);
    at += name.size() + 1;
    std::string value(65536, '\0');
    const ssize_t got = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
    value.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    attributes[name] = value;
  }
  return attributes;
}

struct Identity {
  uid_t Uid;
  gid_t Gid;
  mode_t Mode;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return {info.st_uid, info.st_gid, info.st_mode & 07777};
}

class KeptAttributes : public BatchCommand {
 protected:
  void SetUp() override {
    BatchCommand::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give files other owners";
    if (!fs::exists(Setfacl) || !fs::exists(Setpriv)) GTEST_SKIP() << "setfacl or setpriv missing";
    program_ = Program("", true);
    // The builder passes through the test's folders and works in a folder of the group
    // it shares with the owner, and in a temporary folder of everyone's.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(tmp_, fs::perms::all | fs::perms::sticky_bit);
    shared_ = root_ / "shared";
    fs::create_directories(shared_);
    ASSERT_EQ(::chown(shared_.c_str(), Owner, Shared), 0);
    ASSERT_EQ(::chmod(shared_.c_str(), 02775), 0);
  }

  ChildResult BuildAs(const std::vector<std::string>& args) {
    std::vector<std::string> argv{Setpriv, "--reuid=" + std::to_string(Builder), "--regid=" + std::to_string(Builder),
                                  "--groups=" + std::to_string(Shared), program_.string(), "--json"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, {"TMPDIR=" + tmp_.string()}, std::chrono::seconds(60));
  }

  fs::path program_;
  fs::path shared_;
};

// Root builds through a working copy (a small file) and gives it all back.
TEST_F(KeptAttributes, WorkingCopyGetsTheOwnerModeExtendedAttributesAndAcl) {
  const fs::path tif = Tiff("shared/a.tif", 600, 400);
  ASSERT_EQ(::setxattr(tif.c_str(), "user.project", "alpha", 5, 0), 0);
  ASSERT_EQ(::chown(tif.c_str(), Owner, Shared), 0);
  ASSERT_EQ(::chmod(tif.c_str(), 0640), 0);
  ASSERT_EQ(RunChild({Setfacl, "-m", "u:" + std::to_string(Builder) + ":rw", tif.string()}).exitCode, 0);
  const auto attributes = Attributes(tif);
  ASSERT_EQ(attributes.count("system.posix_acl_access"), 1u);
  const Identity identity = IdentityOf(tif);

  const ChildResult run = Batch(program_, {tif.string()});

  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(DirectoryCount(tif), 3);
  EXPECT_EQ(Attributes(tif), attributes);
  EXPECT_TRUE(IdentityOf(tif) == identity);
}

// A member of the file's group may write it but cannot give a new file its owner, nor
// may anyone but root give it a security attribute: its levels are appended to it, or,
// where they cannot be (options of the user's own), it is kept with the reason.
TEST_F(KeptAttributes, WhatAWorkingCopyCannotBeGivenSendsTheFileTheAppendWayOrKeepsIt) {
  struct Case {
    const char* name;
    uid_t owner;
    const char* attribute;  // set by root, readable by all
    bool ownOptions;
    const char* outcome;
    const char* code;
  };
  const Case cases[] = {
      {"another owner", Owner, nullptr, false, "done", ""},
      {"another owner, own options", Owner, nullptr, true, "kept", "owner_not_kept"},
      {"own file, security attribute", Builder, "security.kelvory", false, "done", ""},
      {"own file, security attribute, own options", Builder, "security.kelvory", true, "kept", "attribute_not_kept"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path tif = Tiff("shared/a.tif", 600, 400);
    if (c.attribute) {
      ASSERT_EQ(::setxattr(tif.c_str(), c.attribute, "x", 1, 0), 0);
    }
    ASSERT_EQ(::chown(tif.c_str(), c.owner, Shared), 0);
    ASSERT_EQ(::chmod(tif.c_str(), 0664), 0);
    const auto attributes = Attributes(tif);
    const Identity identity = IdentityOf(tif);
    const std::string before = ReadAll(tif);
    // Nearest levels of an uncompressed file keep the working copy.
    std::vector<std::string> args{"-r", "average", tif.string()};
    if (c.ownOptions) args.insert(args.begin(), {"--config", "COMPRESS_OVERVIEW", "DEFLATE"});

    const ChildResult run = BuildAs(args);

    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(std::string("\"outcome\":\"") + c.outcome + "\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(std::string("\"reason_code\":\"") + c.code + "\""), std::string::npos) << run.out;
    EXPECT_EQ(DirectoryCount(tif), c.code[0] == '\0' ? 3 : 1);
    if (c.code[0] != '\0') {
      EXPECT_TRUE(ReadAll(tif) == before);
    }
    EXPECT_EQ(Attributes(tif), attributes);
    EXPECT_TRUE(IdentityOf(tif) == identity);
    EXPECT_TRUE(fs::is_empty(tmp_));
    fs::remove(tif);
  }
}

// A folder the builder may not read is no silent gap: a failed row that names it and
// counts in the exit status, while the rest of the tree is built.
TEST_F(KeptAttributes, FolderTheBuilderCannotReadFailsAsARowOfItsOwn) {
  fs::create_directories(shared_ / "tree" / "locked");
  const fs::path tif = Tiff("shared/tree/a.tif", 600, 400);
  Tiff("shared/tree/locked/b.tif", 600, 400);
  for (const fs::path& path : {tif, tif.parent_path()}) ASSERT_EQ(::chown(path.c_str(), Builder, Shared), 0);
  const fs::path locked = shared_ / "tree" / "locked";
  fs::permissions(locked, fs::perms::none);

  const ChildResult run = BuildAs({(shared_ / "tree").string()});
  fs::permissions(locked, fs::perms::owner_all);

  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_EQ(DirectoryCount(tif), 3);
  const std::string row = run.out.substr(run.out.find("{\"path\":\"" + locked.string() + "\""));
  EXPECT_NE(row.find("\"outcome\":\"failed\""), std::string::npos) << run.out;
  EXPECT_NE(row.find("\"reason_code\":\"cannot_read\""), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kelvory::test
