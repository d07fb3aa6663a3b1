#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/error.h"

namespace pontexa::run {

// The lock file every run holds a record lock on, in the table folder. It
// holds "proceso: N" and "equipo: NAME" of the run holding it exclusively, for
// the message of a run that is refused.
inline constexpr char kClaimFileName[] = "pontexa-bloqueo.lck";

// The error of a run refused because another run holds what it needs.
class ClaimRefused : public Error {
 public:
  using Error::Error;
};

// One run's claim on a table folder: exclusive for a run that changes it,
// shared for one that only reads it. The lock goes with the object, or with
// the process however it ends, so a killed run never blocks the next.
class FolderClaim {
 public:
  FolderClaim() = default;  // holds nothing
  ~FolderClaim() { Release(); }
  FolderClaim(FolderClaim&&) = default;
  FolderClaim& operator=(FolderClaim&& other) {
    Release();
    file_ = std::move(other.file_);
    exclusive_ = other.exclusive_;
    return *this;
  }

  // Takes the claim at once, without waiting. Raises Error naming the other
  // run's process and machine when another run holds a conflicting claim, and
  // Error when the lock file is a pipe, a link or anything but a plain file.
  // Where the lock file cannot be made (no such folder, a read-only share)
  // nothing can be changed there either: the claim then holds nothing and the
  // run fails on its own terms. An exclusive claim the user may not write the
  // lock file for is taken as a shared one.
  static FolderClaim Take(const std::filesystem::path& table_folder, HoldKind kind);

  // True while this claim holds the folder exclusively: no other run of
  // Pontexa can be using it.
  bool exclusive() const { return file_ != nullptr && exclusive_; }
  bool held() const { return file_ != nullptr; }
  // Lets the folder go; an exclusive holder first wipes its name from the
  // lock file, so that no later refusal names a run that is over.
  void Release();

 private:
  std::unique_ptr<File> file_;
  bool exclusive_ = false;
};

// A claim on the exchange file itself, so that two runs from different table
// folders never save one exchange file at the same time. Taken on the file the
// path names when the claim is taken, checked to be the one the path still
// names.
class ExchangeFileClaim {
 public:
  ExchangeFileClaim() = default;
  // Raises Error when another run holds it. A file that does not exist, is not
  // a plain file or cannot be opened gives a claim holding nothing: loading it
  // fails with its own message.
  static ExchangeFileClaim Take(const std::filesystem::path& exchange_file);
  // Like Take, but gives a claim holding nothing instead of raising.
  static ExchangeFileClaim TryTake(const std::filesystem::path& exchange_file);
  bool held() const { return file_ != nullptr; }

 private:
  std::unique_ptr<File> file_;
  bool refused_ = false;
};

}  // namespace pontexa::run
