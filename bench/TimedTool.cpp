// Stands in for gdaladdo to find where a build's time goes: runs the real tool named by
// KELVORY_BENCH_TOOL with the same arguments and appends the tool's start and end
// (monotonic nanoseconds) to KELVORY_BENCH_LOG. Costs one fork and exec per job.
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

long long Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

int main(int, char** argv) {
  const char* tool = std::getenv("KELVORY_BENCH_TOOL");
  const char* log = std::getenv("KELVORY_BENCH_LOG");
  if (tool == nullptr || log == nullptr) {
    std::fputs("KELVORY_BENCH_TOOL and KELVORY_BENCH_LOG must be set\n", stderr);
    return 2;
  }
  const long long start = Now();
  const pid_t child = ::fork();
  if (child == 0) {
    argv[0] = const_cast<char*>(tool);
    ::execv(tool, argv);
    ::_exit(127);
  }
  int status = 0;
  while (child > 0 && ::waitpid(child, &status, 0) < 0) {
  }
  const long long end = Now();
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%lld %lld\n", start, end);
  const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd >= 0) {
    (void)!::write(fd, line, static_cast<size_t>(n));
    ::close(fd);
  }
  return child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
