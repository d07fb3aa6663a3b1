#pragma once

#include <sys/types.h>

#include <filesystem>

namespace pontexa::testing {

// How another program holds a file.
enum class HoldMode {
  kFlock,               // exclusive flock, as Linux programs lock a whole file
  kSharedFlock,         // shared flock
  kWriteLockHighByte,   // fcntl write lock on the one byte at 0xEFFFFFFF, far past
                        // the end, as a dBase engine under Wine locks a table
  kReadLockWholeFile,   // fcntl read lock from offset 0 to the end of every offset
  kWriteLockWholeFile,  // fcntl write lock over the same range
  kOpenWithoutLock,     // the file open and nothing more, the only trace a Windows
                        // program under Wine leaves when it opens without sharing
};

const char* HoldModeName(HoldMode kind);  // for test output

// Another process, named kHolderName, holding a file in one of those ways until
// the object goes out of scope. The constructor returns once the hold is taken
// and throws when it cannot be taken (it never waits for it).
class HeldFile {
 public:
  static constexpr char kHolderName[] = "horaplan.exe";

  explicit HeldFile(const std::filesystem::path& path, HoldMode kind = HoldMode::kFlock);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // Lets the other process go and waits for it to end; the destructor does it
  // when it has not been done.
  void Release();

 private:
  friend bool OtherProcessCanHold(const std::filesystem::path& path, HoldMode kind);
  struct Untaken {};
  HeldFile(const std::filesystem::path& path, HoldMode kind, Untaken);
  bool Start(const std::filesystem::path& path, HoldMode kind);

  pid_t child_ = -1;
  int release_fd_ = -1;  // closing it tells the child to end
};

// True when another process could take that hold on the file right now.
bool OtherProcessCanHold(const std::filesystem::path& path, HoldMode kind);

}  // namespace pontexa::testing
