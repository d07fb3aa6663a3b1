#include "support/held_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace pontexa::testing {
namespace {

// Takes the hold in the child without waiting. Only async-signal-safe calls.
bool TakeHold(const char* path, HoldMode kind) {
  const bool writes = kind == HoldMode::kWriteLockHighByte || kind == HoldMode::kWriteLockWholeFile;
  const int fd = open(path, writes ? O_RDWR : O_RDONLY);
  if (fd < 0) return false;
  struct flock range = {};
  range.l_whence = SEEK_SET;
  switch (kind) {
    case HoldMode::kFlock:
      return flock(fd, LOCK_EX | LOCK_NB) == 0;
    case HoldMode::kSharedFlock:
      return flock(fd, LOCK_SH | LOCK_NB) == 0;
    case HoldMode::kWriteLockHighByte:
      range.l_type = F_WRLCK;
      range.l_start = 0xEFFFFFFF;
      range.l_len = 1;
      return fcntl(fd, F_SETLK, &range) == 0;
    case HoldMode::kReadLockWholeFile:
      range.l_type = F_RDLCK;
      return fcntl(fd, F_SETLK, &range) == 0;
    case HoldMode::kWriteLockWholeFile:
      range.l_type = F_WRLCK;
      return fcntl(fd, F_SETLK, &range) == 0;
    case HoldMode::kOpenWithoutLock:
      return true;
  }
  return false;
}

}  // namespace

const char* HoldModeName(HoldMode kind) {
  switch (kind) {
    case HoldMode::kFlock:
      return "flock";
    case HoldMode::kSharedFlock:
      return "shared flock";
    case HoldMode::kWriteLockHighByte:
      return "write lock on byte 0xEFFFFFFF";
    case HoldMode::kReadLockWholeFile:
      return "read lock on the whole file";
    case HoldMode::kWriteLockWholeFile:
      return "write lock on the whole file";
    case HoldMode::kOpenWithoutLock:
      return "open without lock";
  }
  return "?";
}

HeldFile::HeldFile(const std::filesystem::path& path, HoldMode kind) {
  if (!Start(path, kind)) throw std::runtime_error("cannot hold " + path.string());
}

HeldFile::HeldFile(const std::filesystem::path&, HoldMode, Untaken) {}

bool HeldFile::Start(const std::filesystem::path& path, HoldMode kind) {
  int ready[2];
  int release[2];
  if (pipe(ready) != 0) throw std::runtime_error("pipe failed");
  if (pipe(release) != 0) throw std::runtime_error("pipe failed");
  const std::string name = path.string();
  child_ = fork();
  if (child_ < 0) throw std::runtime_error("fork failed");
  if (child_ == 0) {
    close(ready[0]);
    close(release[1]);
    prctl(PR_SET_NAME, kHolderName, 0, 0, 0);
    char status = TakeHold(name.c_str(), kind) ? 'y' : 'n';
    if (write(ready[1], &status, 1) != 1) _exit(1);
    char ignored;
    while (read(release[0], &ignored, 1) > 0) {
    }
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  release_fd_ = release[1];
  char status = 'n';
  const bool answered = read(ready[0], &status, 1) == 1;
  close(ready[0]);
  if (!answered || status != 'y') {
    Release();
    return false;
  }
  return true;
}

HeldFile::~HeldFile() { Release(); }

void HeldFile::Release() {
  if (release_fd_ >= 0) {
    close(release_fd_);
    release_fd_ = -1;
  }
  if (child_ > 0) {
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
  }
}

bool OtherProcessCanHold(const std::filesystem::path& path, HoldMode kind) {
  HeldFile attempt(path, kind, HeldFile::Untaken{});
  return attempt.Start(path, kind);
}

}  // namespace pontexa::testing
