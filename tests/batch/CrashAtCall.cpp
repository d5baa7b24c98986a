// Preloaded into kelvory-batch (LD_PRELOAD) to end it, as a crash would, just before
// its Nth call that changes a file or a folder (KELVORY_CRASH_AT=N), or to count those
// calls (KELVORY_CRASH_COUNT=FILE gets the count at exit). The tools the command starts
// run without it.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<long> calls{0};
long crashAt = 0;
const char* countFile = nullptr;

__attribute__((constructor)) void Start() {
  if (const char* at = getenv("KELVORY_CRASH_AT")) crashAt = atol(at);
  countFile = getenv("KELVORY_CRASH_COUNT");
  // The tools started from here are not the program under test.
  unsetenv("LD_PRELOAD");
}

__attribute__((destructor)) void End() {
  if (countFile == nullptr) return;
  if (FILE* out = fopen(countFile, "w")) {
    fprintf(out, "%ld\n", calls.load());
    fclose(out);
  }
}

void Count() {
  if (++calls == crashAt) raise(SIGKILL);
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

#define KELVORY_PASS(ret, name, params, args)          \
  extern "C" ret name params {                         \
    Count();                                           \
    static auto next = Next<ret(*) params>(#name);     \
    return next args;                                  \
  }

KELVORY_PASS(int, rename, (const char* a, const char* b), (a, b))
KELVORY_PASS(int, renameat, (int d1, const char* a, int d2, const char* b), (d1, a, d2, b))
KELVORY_PASS(int, renameat2, (int d1, const char* a, int d2, const char* b, unsigned f), (d1, a, d2, b, f))
KELVORY_PASS(int, unlink, (const char* a), (a))
KELVORY_PASS(int, remove, (const char* a), (a))
KELVORY_PASS(int, unlinkat, (int d, const char* a, int f), (d, a, f))
KELVORY_PASS(int, rmdir, (const char* a), (a))
KELVORY_PASS(int, mkdir, (const char* a, mode_t m), (a, m))
KELVORY_PASS(int, symlink, (const char* a, const char* b), (a, b))
KELVORY_PASS(int, link, (const char* a, const char* b), (a, b))
KELVORY_PASS(int, linkat, (int d1, const char* a, int d2, const char* b, int f), (d1, a, d2, b, f))
KELVORY_PASS(int, fsync, (int fd), (fd))
KELVORY_PASS(int, fdatasync, (int fd), (fd))
KELVORY_PASS(int, ftruncate, (int fd, off_t l), (fd, l))
KELVORY_PASS(ssize_t, pwrite, (int fd, const void* b, size_t n, off_t o), (fd, b, n, o))
KELVORY_PASS(ssize_t, pwrite64, (int fd, const void* b, size_t n, off_t o), (fd, b, n, o))
KELVORY_PASS(ssize_t, copy_file_range, (int a, off_t* b, int c, off_t* d, size_t n, unsigned f), (a, b, c, d, n, f))
KELVORY_PASS(int, fallocate, (int fd, int m, off_t o, off_t l), (fd, m, o, l))
KELVORY_PASS(int, fchmod, (int fd, mode_t m), (fd, m))
KELVORY_PASS(int, fchown, (int fd, uid_t u, gid_t g), (fd, u, g))
KELVORY_PASS(int, futimens, (int fd, const struct timespec t[2]), (fd, t))
KELVORY_PASS(int, fsetxattr, (int fd, const char* n, const void* v, size_t s, int f), (fd, n, v, s, f))
