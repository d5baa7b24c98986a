// Takes the place of gdaladdo when the runner alone is timed: puts a prepared file that
// already holds its overview levels (named by KELVORY_BENCH_BUILT) over the file it was
// given, as gdaladdo would leave it, and lives a fixed 50 ms in all (KELVORY_BENCH_LIFE_MS
// changes it; 0 ends at once, to see what a build costs besides its tools). The runner checks
// the levels after every run, so a stand-in that only slept would fail every job. A
// shell script would add its own start-up to every job and blur what is measured. With
// KELVORY_BENCH_LOG set it appends its start and end (monotonic nanoseconds) to that
// file, so the time between one job's end and the next one's start can be told apart
// from the jobs themselves.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr long long kDefaultLifetimeNs = 50'000'000;

long long Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Copies from over to, in the kernel; false on any failure.
bool CopyOver(const char* from, const char* to) {
  const int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  const int out = ::fstat(in, &info) == 0 ? ::open(to, O_WRONLY | O_TRUNC | O_CLOEXEC) : -1;
  bool ok = out >= 0;
  for (off_t left = info.st_size; ok && left > 0;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
    ok = n > 0;
    left -= n;
  }
  if (out >= 0) ok = ::close(out) == 0 && ok;
  ::close(in);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const long long start = Now();
  const char* built = std::getenv("KELVORY_BENCH_BUILT");
  if (argc < 2 || built == nullptr) {
    std::fputs("usage: KELVORY_BENCH_BUILT=FILE kelvory-bench-sleep FILE [FACTOR]...\n", stderr);
    return 2;
  }
  if (!CopyOver(built, argv[1])) {
    std::fprintf(stderr, "ERROR 1: cannot copy %s over %s\n", built, argv[1]);
    return 1;
  }
  const char* life = std::getenv("KELVORY_BENCH_LIFE_MS");
  const long long lifetimeNs = life != nullptr ? std::atoll(life) * 1'000'000 : kDefaultLifetimeNs;
  // The copy counts toward the lifetime, so the ideal stays files x lifetime / slots.
  std::this_thread::sleep_for(std::chrono::nanoseconds(lifetimeNs - (Now() - start)));
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
