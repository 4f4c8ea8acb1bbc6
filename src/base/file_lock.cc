#include "base/file_lock.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace zormix {

// /proc/locks lines read "1: FLOCK  ADVISORY  WRITE 4242 fe:00:408224 0 EOF": the pid, then the
// device major:minor in hex and the inode.
long FlockHolder(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return 0;
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    char kind[16] = {};
    long pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (line.find("->") != std::string::npos) continue;  // a waiter, not a holder
    if (std::sscanf(line.c_str(), "%*d: %15s %*s %*s %ld %x:%x:%llu", kind, &pid, &major, &minor,
                    &inode) == 5 &&
        std::strcmp(kind, "FLOCK") == 0 && major == major(st.st_dev) && minor == minor(st.st_dev) &&
        inode == st.st_ino)
      return pid;
  }
  return 0;
}

}  // namespace zormix
