#include "tables/table_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "platform/error.h"
#include "platform/file_descriptor.h"
#include "platform/file_locks.h"
#include "platform/system_error_text.h"
#include "tables/messages.h"

namespace pontexa::tables {
namespace {

[[noreturn]] void InUse(const std::filesystem::path& path, const FileHolder& holder = {}) {
  throw Error(messages::InUse(path, holder.program));
}

// Who holds the open file fd, for the message: the process of a record lock
// when the system names it, else another process that has the file open.
FileHolder HolderOf(int fd, const OpenFileScan& others) {
  if (const std::optional<pid_t> pid = RecordLockHolder(fd); pid && *pid > 0) {
    return others.Describe(*pid);
  }
  struct stat status;
  if (fstat(fd, &status) == 0) {
    if (std::optional<FileHolder> holder = others.HolderOf(status.st_dev, status.st_ino)) {
      return *holder;
    }
  }
  return {};
}

// Raises the in-use error when another process had the file open.
void CheckNotOpenElsewhere(const std::filesystem::path& path, int fd, const OpenFileScan& others) {
  struct stat status;
  if (fstat(fd, &status) != 0) return;
  if (std::optional<FileHolder> holder = others.HolderOf(status.st_dev, status.st_ino)) {
    InUse(path, *holder);
  }
}

// Raises the in-use error when another open file holds a record lock or an
// flock on the file, or another process has it open. fd holds no lock itself.
void CheckFree(const std::filesystem::path& path, int fd, const OpenFileScan& others) {
  if (RecordLockHolder(fd) || FlockHeldElsewhere(fd)) InUse(path, HolderOf(fd, others));
  CheckNotOpenElsewhere(path, fd, others);
}

int OpenFile(const std::filesystem::path& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsPermissionProblem(int error_number) {
  return error_number == EACCES || error_number == EPERM || error_number == EROFS;
}

}  // namespace

LockedFile LockedFile::OpenExisting(const std::filesystem::path& path, FileLock lock,
                                    const OpenFileScan& others) {
  bool read_only = false;
  int fd = OpenFile(path, O_RDWR);
  if (fd < 0 && IsPermissionProblem(errno)) {
    read_only = true;
    fd = OpenFile(path, O_RDONLY);
  }
  if (fd < 0) {
    const int error_number = errno;
    if (error_number == ENOENT) throw Error(messages::NoSuchTable(path));
    throw Error(messages::CannotOpenTable(path, SystemErrorText(error_number)));
  }
  LockedFile file(path, fd, read_only);
  struct stat status;
  if (fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
    throw Error(messages::CannotOpenTable(path, messages::NotAFile()));
  }
  const bool exclusive = lock == FileLock::kExclusive;
  if (!TryHoldFile(fd, exclusive ? HoldKind::kExclusive : HoldKind::kShared)) {
    InUse(path, HolderOf(fd, others));
  }
  if (exclusive) CheckNotOpenElsewhere(path, fd, others);
  return file;
}

LockedFile LockedFile::CreateEmpty(const std::filesystem::path& path) {
  int fd = OpenFile(path, O_RDWR | O_CREAT);
  if (fd < 0) {
    throw Error(messages::CannotCreateTable(path, SystemErrorText(errno)));
  }
  LockedFile file(path, fd, false);
  if (!TryHoldFile(fd, HoldKind::kExclusive)) InUse(path);
  if (ftruncate(fd, 0) != 0) {
    throw Error(messages::CannotCreateTable(path, SystemErrorText(errno)));
  }
  return file;
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(other.fd_), read_only_(other.read_only_) {
  other.fd_ = -1;
}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    read_only_ = other.read_only_;
    other.fd_ = -1;
  }
  return *this;
}

LockedFile::~LockedFile() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

std::uint64_t LockedFile::Size() const {
  struct stat status;
  if (fstat(fd_, &status) != 0) {
    throw Error(messages::CannotReadTable(path_, SystemErrorText(errno)));
  }
  return static_cast<std::uint64_t>(status.st_size);
}

long LockedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const noexcept {
  std::size_t done = 0;
  while (done < size) {
    ssize_t got = pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

int LockedFile::TryWriteAt(std::uint64_t offset, std::string_view bytes,
                           std::size_t* written) const noexcept {
  std::size_t done = 0;
  int error_number = 0;
  while (done < bytes.size()) {
    ssize_t put =
        pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      error_number = errno;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  if (written != nullptr) *written = done;
  return error_number;
}

int LockedFile::TryTruncate(std::uint64_t size) const noexcept {
  while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

void LockedFile::WriteAt(std::uint64_t offset, std::string_view bytes) const {
  if (int error_number = TryWriteAt(offset, bytes); error_number != 0) {
    throw Error(messages::CannotWriteTable(path_, SystemErrorText(error_number)));
  }
}

void LockedFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) {
    throw Error(messages::CannotWriteTable(path_, SystemErrorText(errno)));
  }
}

void CheckNotHeld(const std::filesystem::path& path, const OpenFileScan& others) {
  // Without waiting: a pipe with the table's name must not hang the run.
  const int fd = OpenFile(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    // Unreadable here, but another process may still have it open.
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return;
    if (std::optional<FileHolder> holder = others.HolderOf(status.st_dev, status.st_ino)) {
      InUse(path, *holder);
    }
    return;
  }
  const FileDescriptor closer(fd);
  CheckFree(path, fd, others);
}

void DeleteUnlessHeld(const std::filesystem::path& path, const OpenFileScan& others) {
  int fd = OpenFile(path, O_RDWR | O_NONBLOCK);
  if (fd < 0) fd = OpenFile(path, O_RDONLY | O_NONBLOCK);
  const FileDescriptor closer(fd);
  if (fd >= 0) {
    if (!TryHoldFile(fd, HoldKind::kExclusive)) InUse(path, HolderOf(fd, others));
    // A handle opened for reading only holds a read lock, which lets shared
    // record locks of others through: look for them.
    if (RecordLockHolder(fd)) InUse(path, HolderOf(fd, others));
    CheckNotOpenElsewhere(path, fd, others);
  }
  // Deleting while holding the locks keeps anyone from taking the file meanwhile.
  ::unlink(path.c_str());
}

}  // namespace pontexa::tables
