#include "tests/batch/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace kelvory::test {
namespace {

// The command speaks the language the locale names: the tests' children get none but
// what a test gives them, whatever the machine's.
bool NamesLanguage(const std::string& name) { return name == "LC_ALL=" || name == "LC_MESSAGES=" || name == "LANG="; }

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::string name = text.substr(0, text.find('=') + 1);
    bool replaced = NamesLanguage(name);
    for (const std::string& e : extra) replaced = replaced || e.rfind(name, 0) == 0;
    if (!replaced) merged.push_back(text);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Reads what is there now; returns false at end of file.
bool Drain(int fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    throw std::runtime_error("pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

  std::vector<std::string> args = argv;
  std::vector<std::string> envTexts = MergedEnvironment(env);
  std::vector<char*> argPointers = Pointers(args);
  std::vector<char*> envPointers = Pointers(envTexts);
  const int error = ::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argPointers.data(),
                                  envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
  ::fcntl(errFd_, F_SETFL, O_NONBLOCK);
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(error));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

void ChildProcess::CloseOutput() {
  if (outFd_ >= 0) ::close(outFd_);
  outFd_ = -1;
}

ChildResult ChildProcess::Wait(std::chrono::milliseconds limit) {
  ChildResult result;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool outOpen = outFd_ >= 0;
  bool errOpen = true;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      // Everything the child wrote is in the pipes now; a grandchild that kept them
      // open must not hold the test up.
      if (outOpen) Drain(outFd_, result.out);
      Drain(errFd_, result.err);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      if (outOpen) Drain(outFd_, result.out);
      Drain(errFd_, result.err);
      result.err += "\n[killed: the time ran out]";
      return result;
    }
    // A pipe at its end would wake poll at once; leave it out.
    pollfd fds[2] = {{outOpen ? outFd_ : -1, POLLIN, 0}, {errOpen ? errFd_ : -1, POLLIN, 0}};
    ::poll(fds, 2, 20);
    if (outOpen) outOpen = Drain(outFd_, result.out);
    if (errOpen) errOpen = Drain(errFd_, result.err);
  }
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     std::chrono::milliseconds limit) {
  ChildProcess child(argv, env);
  return child.Wait(limit);
}

}  // namespace kelvory::test
