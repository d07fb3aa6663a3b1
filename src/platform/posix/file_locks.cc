#include "platform/posix/file_locks.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

namespace pontexa::posix {
namespace {

bool IsConflict(int error_number) {
  return error_number == EWOULDBLOCK || error_number == EAGAIN || error_number == EACCES;
}

// A record lock request from offset 0 to the end of every offset.
struct flock WholeRange(short type) {
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 0;
  range.l_pid = 0;
  return range;
}

// fcntl without EINTR; -1 with errno set on failure.
int Fcntl(int fd, int command, struct flock* range) {
  int result;
  do {
    result = fcntl(fd, command, range);
  } while (result != 0 && errno == EINTR);
  return result;
}

// Flock without waiting: 1 taken, 0 someone else holds it, -1 no locks here.
int TryFlock(int fd, int operation) {
  while (flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return IsConflict(errno) ? 0 : -1;
  }
  return 1;
}

}  // namespace

bool TryHoldFile(int fd, HoldKind kind) {
  const bool exclusive = kind == HoldKind::kExclusive;
  const int taken = TryFlock(fd, exclusive ? LOCK_EX : LOCK_SH);
  if (taken == 0) return false;
  // A write lock needs a handle that may write; a read-only one keeps writers out.
  const bool writable = (fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY;
  struct flock range = WholeRange(exclusive && writable ? F_WRLCK : F_RDLCK);
  if (Fcntl(fd, F_OFD_SETLK, &range) != 0 && IsConflict(errno)) {
    if (taken == 1) flock(fd, LOCK_UN);
    return false;
  }
  return true;
}

bool FlockHeldElsewhere(int fd) {
  const int taken = TryFlock(fd, LOCK_EX);
  if (taken == 1) flock(fd, LOCK_UN);
  return taken == 0;
}

std::optional<pid_t> RecordLockHolder(int fd) {
  struct flock probe = WholeRange(F_WRLCK);
  if (Fcntl(fd, F_OFD_GETLK, &probe) != 0) {
    // A kernel without open-file-description locks: ask as a process.
    probe = WholeRange(F_WRLCK);
    if (Fcntl(fd, F_GETLK, &probe) != 0) return std::nullopt;
  }
  if (probe.l_type == F_UNLCK) return std::nullopt;
  return probe.l_pid > 0 ? probe.l_pid : 0;
}

}  // namespace pontexa::posix
