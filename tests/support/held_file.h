#pragma once

#include <sys/types.h>

#include <filesystem>

namespace pontexa::testing {

// Another process holding an exclusive lock (flock LOCK_EX) on a file, as
// Horaplan does with a table it has open, until the object goes out of scope.
// The constructor returns once the lock is held.
class HeldFile {
 public:
  explicit HeldFile(const std::filesystem::path& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Lets the other process go and waits for it to end; the destructor does it
  // when it has not been done.
  void Release();

 private:
  pid_t child_ = -1;
  int release_fd_ = -1;  // closing it tells the child to end
};

}  // namespace pontexa::testing
