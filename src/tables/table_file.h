#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/case_variants.h"
#include "platform/env.h"

namespace pontexa::tables {

// When another program holds a table, the error says "La tabla '...' está en
// uso por otro programa", with the holder's program name in parentheses where
// it is known. Holding means any of: an flock; a record lock (fcntl, lockf) of
// any kind at any offset, which is how Wine shows a Windows program's file
// locks and what LibreOffice takes; or, before the table is dropped, re-created
// or opened exclusively, having the file open at all, which is the only trace
// on Linux of a Windows program under Wine that opened the table without
// sharing it. Another handle of this program that holds a lock counts too; its
// plain open handles do not.

// An open table file holding an flock and a whole-range record lock for as long
// as the object lives, so that programs asking for either kind of lock are
// refused (Horaplan under Wine included). Locks are taken without waiting: a
// conflicting lock makes the open fail with the in-use error.
class LockedFile {
 public:
  // Opens an existing file for reading and writing, or for reading only when
  // the file or its folder may not be written or `only_read` asks it. An
  // exclusive open also fails while another process has the file open (as
  // `others` saw it).
  static LockedFile OpenExisting(const std::filesystem::path& path, HoldKind lock,
                                 const OpenFileScan& others, bool only_read = false);
  // Opens or creates the file, holds it exclusively and empties it; the in-use
  // error names the holder as `others` saw it.
  static LockedFile CreateEmpty(const std::filesystem::path& path, const OpenFileScan& others);

  LockedFile(LockedFile&& other) noexcept = default;
  LockedFile& operator=(LockedFile&& other) noexcept = default;
  ~LockedFile() = default;  // closing the file releases its locks

  bool read_only() const { return read_only_; }
  const std::filesystem::path& path() const { return path_; }

  std::uint64_t Size() const;  // Error when the system cannot tell
  // Reads up to `size` bytes at `offset`; `*read` gets how many (fewer only at
  // the end of the file).
  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read) const;
  // Writes all the bytes at `offset`. `written`, when given, receives how many
  // of the bytes, from the first, reached the file (all of them on success).
  Status TryWriteAt(std::uint64_t offset, std::string_view bytes,
                    std::size_t* written = nullptr) const;
  // Cuts or extends the file to `size` bytes.
  Status TryTruncate(std::uint64_t size) const;
  // Writes all the bytes at `offset`; Error naming the file on failure.
  void WriteAt(std::uint64_t offset, std::string_view bytes) const;
  void Close();  // releases the lock; Error when the system reports a failure

 private:
  LockedFile(std::filesystem::path path, std::unique_ptr<File> file, bool read_only)
      : path_(std::move(path)), file_(std::move(file)), read_only_(read_only) {}
  std::filesystem::path path_;
  std::unique_ptr<File> file_;
  bool read_only_ = false;
};

// Deletes the file unless another program holds it, in which case it raises the
// in-use error. A file that cannot be deleted otherwise stays, silently.
void DeleteUnlessHeld(const std::filesystem::path& path, const OpenFileScan& others);

// Raises the in-use error when another program holds the file or has it open;
// nothing when it is free or missing.
void CheckNotHeld(const std::filesystem::path& path, const OpenFileScan& others);

}  // namespace pontexa::tables
