#include "support/held_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace pontexa::testing {

HeldFile::HeldFile(const std::filesystem::path& path) {
  int ready[2];
  int release[2];
  if (pipe(ready) != 0) throw std::runtime_error("pipe failed");
  if (pipe(release) != 0) throw std::runtime_error("pipe failed");
  const std::string name = path.string();
  child_ = fork();
  if (child_ < 0) throw std::runtime_error("fork failed");
  if (child_ == 0) {
    // Only async-signal-safe calls from here on.
    close(ready[0]);
    close(release[1]);
    const int fd = open(name.c_str(), O_RDWR);
    char status = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
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
    throw std::runtime_error("cannot lock " + name);
  }
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

}  // namespace pontexa::testing
