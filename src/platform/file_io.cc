#include "platform/file_io.h"

#include <string>

#include "platform/error.h"
#include "platform/messages.h"

namespace pontexa {
namespace {

// The temporary file of a save: removed unless the save committed it. While it
// lives it holds a lock on the file, so that no other save takes it for one
// left behind by a process that was killed.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() {
    file.reset();
    if (!path.empty() && !committed) Env::Current().Remove(path);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::filesystem::path path;
  std::unique_ptr<File> file;
  std::unique_ptr<File> lock;  // a second handle, so the lock outlasts the checked close of file
  bool committed = false;
};

[[noreturn]] void FailSave(const std::string& path, const Status& why) {
  throw Error(messages::CannotSave(path, why.text()));
}

// A failure told in words of its own rather than those of a system error.
Status Failure(std::string why) { return Status(Status::Code::kOther, std::move(why)); }

std::string ParentFolder(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files of a save of `base` are named this prefix and six letters or
// digits; the prefix is distinctive so that no file of the user's is taken for one.
std::string TemporaryPrefix(const std::string& base) { return "." + base + ".pontexa-"; }

bool IsTemporaryNameOf(const std::string& name, const std::string& base) {
  const std::string prefix = TemporaryPrefix(base);
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
      return false;
    }
  }
  return true;
}

// Removes the temporary files of earlier saves of the file that nobody holds:
// those a killed process left behind. A save in progress holds its own.
// Nothing here can fail the save that calls it.
void RemoveAbandonedTemporaries(const std::string& folder, const std::string& base) {
  Env& env = Env::Current();
  std::vector<std::string> names;
  if (!env.List(folder, &names).ok()) return;
  for (const std::string& name : names) {
    if (!IsTemporaryNameOf(name, base)) continue;
    const std::string path = folder + "/" + name;
    FileInfo info;
    if (!env.LinkInfo(path, &info).ok() || !info.IsRegular()) continue;
    std::unique_ptr<File> file;
    if (!env.Open(path, {.mode = OpenMode::kRead, .regular_only = true}, &file).ok()) continue;
    if (file->TryHold(HoldKind::kExclusive)) env.Remove(path);
  }
}

}  // namespace

BlockWriter::BlockWriter(File* file) : file_(file) {
  // Without a file nothing is written, and nothing is tried.
  if (file == nullptr) error_ = Status::Of(Status::Code::kOther);
  buffer_.reserve(kBlockSize);
}

bool BlockWriter::Append(std::string_view bytes) {
  if (!error_.ok()) return false;
  handed_ += bytes.size();
  checksum_.Add(bytes);
  if (buffer_.size() + bytes.size() < kBlockSize) {
    buffer_.append(bytes);
    return true;
  }
  // Fill the block, write it, and write whole blocks of what remains directly.
  std::size_t fill = kBlockSize - buffer_.size();
  buffer_.append(bytes.substr(0, fill));
  bytes.remove_prefix(fill);
  Write(buffer_);
  buffer_.clear();
  if (error_.ok() && bytes.size() >= kBlockSize) {
    std::size_t whole = bytes.size() - bytes.size() % kBlockSize;
    Write(bytes.substr(0, whole));
    bytes.remove_prefix(whole);
  }
  if (!error_.ok()) return false;
  buffer_.append(bytes);
  return true;
}

void BlockWriter::Write(std::string_view bytes) {
  error_ = file_->Append(bytes);
  if (!error_.ok()) return;
  written_ += bytes.size();
  // Start writing back what has gathered, without waiting for it.
  constexpr std::size_t kWritebackStep = std::size_t{8} << 20;
  if (written_ - sent_to_disk_ >= kWritebackStep) {
    file_->StartWriteBack(sent_to_disk_, written_ - sent_to_disk_);
    sent_to_disk_ = written_;
  }
}

Status BlockWriter::Finish() {
  if (error_.ok() && !buffer_.empty()) Write(buffer_);
  buffer_.clear();
  return error_;
}

Status OpenForReading(const std::string& path, std::unique_ptr<File>& file, FileInfo& info) {
  if (path.empty()) return Failure(messages::NoFileGiven());
  // Never waits: a named pipe or a device in place of the file is refused at once.
  if (Status status =
          Env::Current().Open(path, {.mode = OpenMode::kRead, .regular_only = true}, &file);
      !status) {
    return status;
  }
  if (Status status = file->Info(&info); !status) return status;
  if (info.IsFolder()) return Status::Of(Status::Code::kIsFolder);
  if (!info.IsRegular()) return Failure(messages::NotARegularFile());
  return Status();
}

namespace {

// ReadFileInBlocks on a file already open: reading from where it stands.
Status ReadOpenFileInBlocks(File& file,
                            const std::function<bool(std::string_view block)>& consume) {
  std::string buffer(BlockWriter::kBlockSize, '\0');
  for (;;) {
    std::size_t got = 0;
    if (Status status = file.Read(buffer.data(), buffer.size(), &got); !status) return status;
    if (got == 0 || !consume(std::string_view(buffer.data(), got))) return Status();
  }
}

}  // namespace

Status ReadFileInBlocks(const std::string& path,
                        const std::function<bool(std::string_view block)>& consume) {
  std::unique_ptr<File> file;
  FileInfo info;
  if (Status status = OpenForReading(path, file, info); !status) return status;
  return ReadOpenFileInBlocks(*file, consume);
}

Status ReadWholeFile(const std::string& path, std::string* bytes, std::uint64_t most) {
  bytes->clear();
  std::unique_ptr<File> file;
  FileInfo info;
  if (Status status = OpenForReading(path, file, info); !status) return status;
  // Opened here rather than by ReadFileInBlocks, so that a file already too
  // large is refused unread and the bytes are given their room at once.
  if (info.size > most) return Failure(messages::FileTooLarge());
  if (info.size > 0) bytes->reserve(static_cast<std::size_t>(info.size));
  bool too_large = false;
  Status status = ReadOpenFileInBlocks(*file, [&](std::string_view block) {
    // A file that grows while it is read is bounded all the same.
    if (block.size() > most - bytes->size()) {
      too_large = true;
      return false;
    }
    bytes->append(block);
    return true;
  });
  if (status && too_large) status = Failure(messages::FileTooLarge());
  if (!status) bytes->clear();
  return status;
}

void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<Status(std::string_view written)>& check) {
  WriteFileAtomically(
      path, [bytes](File* file) { return file == nullptr ? Status() : file->Append(bytes); },
      [bytes, &check](const std::string& temporary) {
        std::string written;
        if (Status status = ReadWholeFile(temporary, &written); !status) return status;
        if (written != bytes) return Failure(messages::WrittenDiffers());
        return check(written);
      });
}

void WriteFileAtomically(const std::string& path, const std::function<Status(File* file)>& write,
                         const std::function<Status(const std::string& written)>& check) {
  Env& env = Env::Current();
  // Save through a symbolic link to the file it names, so the link stays a link.
  std::filesystem::path target = path;
  FileInfo link_info;
  if (!path.empty() && env.LinkInfo(path, &link_info).ok() &&
      link_info.kind == FileInfo::Kind::kLink) {
    std::filesystem::path resolved;
    if (env.Resolve(path, &resolved).ok()) target = resolved;
  }

  FileInfo original;
  const bool exists = !path.empty() && env.Info(target, &original).ok();
  const std::string folder = ParentFolder(target.string());
  const std::string base = BaseName(target.string());
  TempFile temp;
  // Why the temporary file cannot be made, if it cannot. The content is
  // written all the same (to nowhere), so that an error the content itself
  // raises comes first, as it would if the file could be saved.
  const Status unprepared = [&]() -> Status {
    if (path.empty()) return Failure(messages::NoFileGiven());
    if (exists && original.IsFolder()) return Status::Of(Status::Code::kIsFolder);
    if (exists && !original.IsRegular()) return Failure(messages::NotARegularFile());
    // A file the user made read-only is not replaced, even though its folder
    // would allow it: judged by its permission bits, which the system's own
    // check lets root pass over.
    if (exists && (original.permissions & 0222) == 0) {
      return Status(Status::Code::kPermissionDenied, messages::ReadOnlyFile());
    }
    if (exists) {
      if (Status status = env.CheckWritable(target); !status) return status;
    }
    if (Status status = env.CreateTemporary(folder, TemporaryPrefix(base), &temp.file, &temp.path);
        !status) {
      return status;
    }
    // Held while the save lasts, so that no other save takes it for one a
    // killed process left behind.
    if (Status status =
            env.Open(temp.path, {.mode = OpenMode::kRead, .regular_only = true}, &temp.lock);
        !status) {
      return status;
    }
    if (!temp.lock->TryHold(HoldKind::kShared)) return Status::Of(Status::Code::kLocked);
    return Status();
  }();

  const Status unwritten = write(unprepared.ok() ? temp.file.get() : nullptr);
  if (!unprepared) FailSave(path, unprepared);
  if (!unwritten) FailSave(path, unwritten);
  File& file = *temp.file;
  if (Status status = file.TakeAccessOf(exists ? &original : nullptr); !status) {
    FailSave(path, status);
  }
  if (Status status = file.Sync(); !status) FailSave(path, status);
  if (Status status = file.Close(); !status) FailSave(path, status);

  if (Status rejected = check(temp.path.string()); !rejected) FailSave(path, rejected);

  if (Status status = env.Rename(temp.path, target); !status) FailSave(path, status);
  temp.committed = true;

  // Make the rename itself durable. The new file is already in place, so a
  // folder that cannot be flushed does not undo the save.
  env.SyncFolder(folder);

  RemoveAbandonedTemporaries(folder, base);
}

}  // namespace pontexa
