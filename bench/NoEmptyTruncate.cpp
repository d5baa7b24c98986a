// Preloaded into kelvory-batch (LD_PRELOAD) to see what emptying an already empty
// working copy costs: ftruncate(fd, 0) of a file of size 0 returns at once. On ext4 a
// truncation to 0 makes the close of the file start writing all of it back (the
// auto_da_alloc safeguard), which delays the tool that is to work on it.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>

extern "C" int ftruncate(int fd, off_t length) {
  using Ftruncate = int (*)(int, off_t);
  struct stat info {};
  if (length == 0 && ::fstat(fd, &info) == 0 && info.st_size == 0) return 0;
  static const auto next = reinterpret_cast<Ftruncate>(::dlsym(RTLD_NEXT, "ftruncate"));
  return next(fd, length);
}
