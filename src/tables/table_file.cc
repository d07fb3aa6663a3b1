#include "tables/table_file.h"

#include "platform/error.h"
#include "tables/messages.h"

namespace pontexa::tables {
namespace {

[[noreturn]] void InUse(const std::filesystem::path& path,
                        const OpenFileScan::Holder& holder = {}) {
  throw Error(messages::InUse(path, holder.program));
}

// Another process that has the open file open, as `others` saw it.
std::optional<OpenFileScan::Holder> OpenElsewhere(File& file, const OpenFileScan& others) {
  FileInfo info;
  if (!file.Info(&info).ok()) return std::nullopt;
  return others.HolderOf(info);
}

// Who holds the open file, for the message: the process of a lock when the
// system names it, else another process that has the file open.
OpenFileScan::Holder HolderOf(File& file, std::optional<ProcessId> locker,
                              const OpenFileScan& others) {
  if (locker && *locker > 0) return others.Describe(*locker);
  if (std::optional<OpenFileScan::Holder> holder = OpenElsewhere(file, others)) return *holder;
  return {};
}

// Raises the in-use error when another process had the file open.
void CheckNotOpenElsewhere(const std::filesystem::path& path, File& file,
                           const OpenFileScan& others) {
  if (std::optional<OpenFileScan::Holder> holder = OpenElsewhere(file, others)) {
    InUse(path, *holder);
  }
}

// Raises the in-use error when another open file holds a lock of any kind on
// the file, or another process has it open. `file` holds no lock itself.
void CheckFree(const std::filesystem::path& path, File& file, const OpenFileScan& others) {
  if (std::optional<ProcessId> locker = file.LockedElsewhere()) {
    InUse(path, HolderOf(file, locker, others));
  }
  CheckNotOpenElsewhere(path, file, others);
}

Status Open(const std::filesystem::path& path, OpenOptions options, std::unique_ptr<File>* file) {
  return Env::Current().Open(path, options, file);
}

}  // namespace

LockedFile LockedFile::OpenExisting(const std::filesystem::path& path, HoldKind lock,
                                    const OpenFileScan& others, bool only_read) {
  bool read_only = only_read;
  std::unique_ptr<File> opened;
  Status status = only_read
                      ? Open(path, {.mode = OpenMode::kRead, .regular_only = true}, &opened)
                      : Open(path, {.mode = OpenMode::kReadWrite, .regular_only = true}, &opened);
  if (!only_read && status.IsAccessProblem()) {
    read_only = true;
    status = Open(path, {.mode = OpenMode::kRead, .regular_only = true}, &opened);
  }
  if (!status) {
    if (status.code() == Status::Code::kNotFound) throw Error(messages::NoSuchTable(path));
    throw Error(messages::CannotOpenTable(path, status.text()));
  }
  File& file = *opened;
  LockedFile locked(path, std::move(opened), read_only);
  FileInfo info;
  if (file.Info(&info).ok() && !info.IsRegular()) {
    throw Error(messages::CannotOpenTable(path, messages::NotAFile()));
  }
  if (!file.TryHold(lock)) InUse(path, HolderOf(file, file.LockedElsewhere(), others));
  if (lock == HoldKind::kExclusive) CheckNotOpenElsewhere(path, file, others);
  return locked;
}

LockedFile LockedFile::CreateEmpty(const std::filesystem::path& path, const OpenFileScan& others) {
  std::unique_ptr<File> opened;
  if (Status status =
          Open(path, {.mode = OpenMode::kReadWriteCreate, .regular_only = true}, &opened);
      !status) {
    throw Error(messages::CannotCreateTable(path, status.text()));
  }
  File& file = *opened;
  LockedFile locked(path, std::move(opened), false);
  if (!file.TryHold(HoldKind::kExclusive)) {
    InUse(path, HolderOf(file, file.LockedElsewhere(), others));
  }
  if (Status status = file.Truncate(0); !status) {
    throw Error(messages::CannotCreateTable(path, status.text()));
  }
  return locked;
}

std::uint64_t LockedFile::Size() const {
  FileInfo info;
  if (Status status = file_->Info(&info); !status) {
    throw Error(messages::CannotReadTable(path_, status.text()));
  }
  return info.size;
}

Status LockedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                          std::size_t* read) const {
  return file_->ReadAt(offset, buffer, size, read);
}

Status LockedFile::TryWriteAt(std::uint64_t offset, std::string_view bytes,
                              std::size_t* written) const {
  return file_->WriteAt(offset, bytes, written);
}

Status LockedFile::TryTruncate(std::uint64_t size) const { return file_->Truncate(size); }

void LockedFile::WriteAt(std::uint64_t offset, std::string_view bytes) const {
  if (Status status = TryWriteAt(offset, bytes); !status) {
    throw Error(messages::CannotWriteTable(path_, status.text()));
  }
}

void LockedFile::Close() {
  if (!file_) return;
  const std::unique_ptr<File> file = std::move(file_);
  if (Status status = file->Close(); !status) {
    throw Error(messages::CannotWriteTable(path_, status.text()));
  }
}

void CheckNotHeld(const std::filesystem::path& path, const OpenFileScan& others) {
  // Without waiting: a pipe with the table's name must not hang the run.
  std::unique_ptr<File> file;
  if (!Open(path, {OpenMode::kRead, /*no_wait=*/true}, &file).ok()) {
    // Unreadable here, but another process may still have it open.
    FileInfo info;
    if (!Env::Current().Info(path, &info).ok()) return;
    if (std::optional<OpenFileScan::Holder> holder = others.HolderOf(info)) InUse(path, *holder);
    return;
  }
  CheckFree(path, *file, others);
}

void DeleteUnlessHeld(const std::filesystem::path& path, const OpenFileScan& others) {
  std::unique_ptr<File> file;
  if (!Open(path, {OpenMode::kReadWrite, /*no_wait=*/true}, &file).ok()) {
    Open(path, {OpenMode::kRead, /*no_wait=*/true}, &file);
  }
  if (file) {
    if (!file->TryHold(HoldKind::kExclusive)) {
      InUse(path, HolderOf(*file, file->LockedElsewhere(), others));
    }
    // A handle opened for reading only holds a read lock, which lets shared
    // record locks of others through: look for them.
    if (std::optional<ProcessId> locker = file->LockedElsewhere()) {
      InUse(path, HolderOf(*file, locker, others));
    }
    CheckNotOpenElsewhere(path, *file, others);
  }
  // Deleting while holding the locks keeps anyone from taking the file meanwhile.
  Env::Current().Remove(path);
}

}  // namespace pontexa::tables
