#pragma once

#include <errno.h>
#include <unistd.h>

namespace pontexa::posix {

// An open file descriptor, closed when the object goes (-1 holds none).
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  // Closes the one held and holds fd instead.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now: 0, or the system error number of a failed close (an
  // interrupted close has closed the descriptor all the same).
  int Close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
  }

 private:
  int fd_;
};

}  // namespace pontexa::posix
