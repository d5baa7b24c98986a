// Takes the place of gdaladdo when the runner alone is timed: sleeps a fixed time and
// exits 0, without touching its file. A shell script would add its own start-up to
// every job and blur what is measured. With KELVORY_BENCH_LOG set it appends its start
// and end (monotonic nanoseconds) to that file, so the time between one job's end and
// the next one's start can be told apart from the jobs themselves.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

long long Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

int main() {
  const long long start = Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (const char* log = std::getenv("KELVORY_BENCH_LOG")) {
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%lld %lld\n", start, Now());
    const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
      (void)!::write(fd, line, static_cast<size_t>(n));
      ::close(fd);
    }
  }
  return 0;
}
