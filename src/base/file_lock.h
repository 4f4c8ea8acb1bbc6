// Who holds the advisory lock of a file, for messages that refuse a file in use.
#ifndef ZORMIX_BASE_FILE_LOCK_H_
#define ZORMIX_BASE_FILE_LOCK_H_

namespace zormix {

// The process holding a flock on the open file `fd`, from /proc/locks; 0 when none is found.
long FlockHolder(int fd);

}  // namespace zormix

#endif  // ZORMIX_BASE_FILE_LOCK_H_
