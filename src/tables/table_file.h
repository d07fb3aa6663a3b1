#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pontexa::tables {

// Every file in `directory` whose name equals `name` without regard to ASCII
// letter case, the exact spelling first; none when the directory is missing.
std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                std::string_view name);

enum class FileLock { kShared, kExclusive };

// An open table file holding an operating-system lock (flock) for as long as
// the object lives. Locks are taken without waiting: a lock that another
// process or another handle of this one holds makes the open fail with
// "La tabla '...' está en uso por otro programa".
class LockedFile {
 public:
  // Opens an existing file for reading and writing, or for reading only when
  // the file or its folder may not be written.
  static LockedFile OpenExisting(const std::filesystem::path& path, FileLock lock);
  // Opens or creates the file, holds it exclusively and empties it.
  static LockedFile CreateEmpty(const std::filesystem::path& path);

  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&& other) noexcept;
  ~LockedFile();

  bool read_only() const { return read_only_; }
  const std::filesystem::path& path() const { return path_; }

  std::uint64_t Size() const;  // Error when the system cannot tell
  // Reads up to `size` bytes at `offset`: the count read (short at the end of
  // the file), or -1 with errno set. Never raises.
  long ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const noexcept;
  // Writes all the bytes at `offset`: 0, or the system error number. Never
  // raises. `written`, when given, receives how many of the bytes, from the
  // first, reached the file (all of them on success).
  int TryWriteAt(std::uint64_t offset, std::string_view bytes,
                 std::size_t* written = nullptr) const noexcept;
  // Cuts or extends the file to `size` bytes: 0, or the system error number.
  int TryTruncate(std::uint64_t size) const noexcept;
  // Writes all the bytes at `offset`; Error naming the file on failure.
  void WriteAt(std::uint64_t offset, std::string_view bytes) const;
  void Close();  // releases the lock; Error when the system reports a failure

 private:
  LockedFile(std::filesystem::path path, int fd, bool read_only)
      : path_(std::move(path)), fd_(fd), read_only_(read_only) {}
  std::filesystem::path path_;
  int fd_ = -1;
  bool read_only_ = false;
};

// Deletes the file unless another process or handle holds it, in which case it
// raises the in-use error. A file that cannot be deleted otherwise stays, silently.
void DeleteUnlessHeld(const std::filesystem::path& path);

// Raises the in-use error when someone holds the file; nothing when it is free
// or cannot be opened.
void CheckNotHeld(const std::filesystem::path& path);

}  // namespace pontexa::tables
