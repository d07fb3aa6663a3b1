#include "support/fault_env.h"

#include <algorithm>

#include "platform/ascii.h"

namespace pontexa::testing {

PathMatch Named(std::string name) {
  return [name = std::move(name)](const std::filesystem::path& path) {
    return SameIgnoringAsciiCase(path.filename().string(), name);
  };
}

PathMatch At(std::filesystem::path path) {
  path = path.lexically_normal();
  return [path](const std::filesystem::path& other) { return other.lexically_normal() == path; };
}

PathMatch Inside(std::filesystem::path folder) {
  folder = folder.lexically_normal();
  return [folder](const std::filesystem::path& path) {
    const std::filesystem::path normal = path.lexically_normal();
    return normal == folder || normal.parent_path() == folder;
  };
}

PathMatch Under(std::filesystem::path folder) {
  folder = folder.lexically_normal();
  return [folder](const std::filesystem::path& path) {
    const std::filesystem::path normal = path.lexically_normal();
    return std::mismatch(folder.begin(), folder.end(), normal.begin(), normal.end()).first ==
           folder.end();
  };
}

PathMatch Anything() {
  return [](const std::filesystem::path&) { return true; };
}

// A file of the real file system whose writes, syncs, closes and locks the
// FaultEnv may refuse.
class FaultFile : public File {
 public:
  FaultFile(FaultEnv& env, std::filesystem::path path, std::unique_ptr<File> target, bool only_read)
      : env_(env), path_(std::move(path)), target_(std::move(target)), only_read_(only_read) {}

  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read) override {
    return target_->ReadAt(offset, buffer, size, read);
  }
  Status Read(char* buffer, std::size_t size, std::size_t* read) override {
    const Status status = target_->Read(buffer, size, read);
    position_ += *read;
    return status;
  }

  Status WriteAt(std::uint64_t offset, std::string_view bytes, std::size_t* written) override {
    std::size_t allowed = bytes.size();
    const Status refused = Limit(offset, allowed);
    std::size_t done = 0;
    const Status status = target_->WriteAt(offset, bytes.substr(0, allowed), &done);
    Record(offset, done);
    if (written != nullptr) *written = done;
    return status.ok() ? refused : status;
  }

  // The system's file appends where the last read or append ended.
  Status Append(std::string_view bytes) override {
    std::size_t allowed = bytes.size();
    const Status refused = Limit(position_, allowed);
    const Status status = target_->Append(bytes.substr(0, allowed));
    if (status.ok()) {
      Record(position_, allowed);
      position_ += allowed;
    }
    return status.ok() ? refused : status;
  }

  Status Truncate(std::uint64_t size) override {
    const std::uint64_t before = Size();
    if (FaultEnv::Room* room = env_.RoomFor(path_)) {
      if (size > before && size - before > room->left) {
        ++env_.faults_;
        return room->status;
      }
      const Status status = target_->Truncate(size);
      if (status.ok()) {
        if (size > before) room->left -= size - before;
        if (size < before) room->left += before - size;
      }
      return status;
    }
    return target_->Truncate(size);
  }

  // Nothing is sent to the disk ahead of time, and a sync that no fault
  // refuses succeeds at once (see FaultEnv).
  void StartWriteBack(std::uint64_t, std::uint64_t) override {}

  Status Sync() override { return env_.Check(env_.sync_failures_, path_); }

  Status Info(FileInfo* info) override { return target_->Info(info); }
  Status TakeAccessOf(const FileInfo* original) override { return target_->TakeAccessOf(original); }

  // A file only read has nothing for a close to lose: only files opened for
  // writing fail to close.
  Status Close() override {
    const Status status = target_->Close();
    if (only_read_) return status;
    if (Status refused = env_.Check(env_.close_failures_, path_); !refused) return refused;
    return status;
  }

  bool TryHold(HoldKind kind) override {
    const int holder = env_.HolderIndex(path_);
    if (holder >= 0) {
      const bool shared_with_shared =
          kind == HoldKind::kShared && env_.holders_[holder].kind == HoldKind::kShared;
      if (!shared_with_shared) {
        ++env_.faults_;
        return false;
      }
    }
    return target_->TryHold(kind);
  }

  std::optional<ProcessId> LockedElsewhere() override {
    const int holder = env_.HolderIndex(path_);
    if (holder >= 0) return FaultEnv::kHolderProcess + holder;
    return target_->LockedElsewhere();
  }

 private:
  std::uint64_t Size() {
    FileInfo info;
    return target_->Info(&info).ok() ? info.size : 0;
  }

  // Cuts `allowed`, the bytes to write at `offset`, to what the room of the
  // first matching write limit still takes, and gives the failure to report
  // when it cut anything.
  Status Limit(std::uint64_t offset, std::size_t& allowed) {
    FaultEnv::Room* room = env_.RoomFor(path_);
    if (room == nullptr) return Status();
    const std::uint64_t size = Size();
    const std::uint64_t end = offset + allowed;
    if (end <= size) return Status();
    if (end - size <= room->left) {
      room->left -= end - size;
      return Status();
    }
    const std::uint64_t last = size + room->left;  // the end of the room
    allowed = last > offset ? static_cast<std::size_t>(last - offset) : 0;
    room->left = 0;
    ++env_.faults_;
    return room->status;
  }

  void Record(std::uint64_t offset, std::size_t size) {
    if (size > 0) env_.writes_.push_back({path_, offset, size});
  }

  FaultEnv& env_;
  std::filesystem::path path_;
  std::unique_ptr<File> target_;
  bool only_read_;
  std::uint64_t position_ = 0;  // where the next Read or Append goes
};

// The real scan of open files, with the files the made-up programs hold added.
class FaultScan : public OpenFileScan {
 public:
  FaultScan(const FaultEnv& env, std::unique_ptr<OpenFileScan> target)
      : env_(env), target_(std::move(target)) {}

  std::optional<Holder> HolderOf(const FileInfo& file) const override {
    const auto found = env_.held_files_.find({file.device, file.inode});
    if (found != env_.held_files_.end()) return Describe(FaultEnv::kHolderProcess + found->second);
    if (!target_) return std::nullopt;
    return target_->HolderOf(file);
  }

  Holder Describe(ProcessId process) const override {
    const int index = process - FaultEnv::kHolderProcess;
    if (index >= 0 && index < static_cast<int>(env_.holders_.size())) {
      return {process, env_.holders_[index].program};
    }
    if (!target_) return {process, ""};
    return target_->Describe(process);
  }

 private:
  const FaultEnv& env_;
  std::unique_ptr<OpenFileScan> target_;  // null when other processes are left out
};

FaultEnv::FaultEnv() : EnvWrapper(Env::System()) {}

void FaultEnv::FailWritesAfter(PathMatch match, std::uint64_t bytes, Status status) {
  rooms_.push_back({std::move(match), bytes, std::move(status)});
}

void FaultEnv::FailSync(PathMatch match, Status status) {
  sync_failures_.push_back({std::move(match), std::move(status)});
}

void FaultEnv::FailClose(PathMatch match, Status status) {
  close_failures_.push_back({std::move(match), std::move(status)});
}

void FaultEnv::FailCreate(PathMatch match, Status status) {
  create_failures_.push_back({std::move(match), std::move(status)});
}

void FaultEnv::FailRename(PathMatch match, Status status) {
  rename_failures_.push_back({std::move(match), std::move(status)});
}

void FaultEnv::LeaveOutOtherProcesses() { other_processes_ = false; }

void FaultEnv::MakeReadOnly(PathMatch match) { read_only_.push_back(std::move(match)); }

void FaultEnv::HoldElsewhere(PathMatch match, std::string program, HoldKind kind) {
  holders_.push_back({std::move(match), std::move(program), kind});
}

Status FaultEnv::Check(const std::vector<Rule>& rules, const std::filesystem::path& path) {
  for (const Rule& rule : rules) {
    if (rule.match(path)) {
      ++faults_;
      return rule.status;
    }
  }
  return Status();
}

Status FaultEnv::RefuseReadOnly() {
  ++faults_;
  return Status::Of(Status::Code::kReadOnly);
}

bool FaultEnv::ReadOnly(const std::filesystem::path& path) const {
  if (read_only_.empty()) return false;
  // The path itself, then every folder it lies in.
  for (std::filesystem::path place = path.lexically_normal(); !place.empty();
       place = place.parent_path()) {
    for (const PathMatch& match : read_only_) {
      if (match(place)) return true;
    }
    if (place == place.parent_path()) break;
  }
  return false;
}

int FaultEnv::HolderIndex(const std::filesystem::path& path) const {
  for (std::size_t i = 0; i < holders_.size(); ++i) {
    if (holders_[i].match(path)) return static_cast<int>(i);
  }
  return -1;
}

void FaultEnv::NoteHeld(const std::filesystem::path& path, const FileInfo& info) {
  const int holder = HolderIndex(path);
  if (holder >= 0 && info.IsRegular())
    held_files_.emplace(std::pair{info.device, info.inode}, holder);
}

FaultEnv::Room* FaultEnv::RoomFor(const std::filesystem::path& path) {
  for (Room& room : rooms_) {
    if (room.match(path)) return &room;
  }
  return nullptr;
}

std::unique_ptr<File> FaultEnv::Wrap(const std::filesystem::path& path, std::unique_ptr<File> file,
                                     bool only_read) {
  FileInfo info;
  if (file->Info(&info).ok()) NoteHeld(path, info);
  return std::make_unique<FaultFile>(*this, path, std::move(file), only_read);
}

Status FaultEnv::Open(const std::filesystem::path& path, OpenOptions options,
                      std::unique_ptr<File>* file) {
  if (before_open) before_open(path, options.mode);
  const bool creates = options.mode == OpenMode::kReadWriteCreate ||
                       options.mode == OpenMode::kCreateNew || options.mode == OpenMode::kReplace;
  if (options.mode != OpenMode::kRead && ReadOnly(path)) return RefuseReadOnly();
  if (creates) {
    if (Status status = Check(create_failures_, path); !status) return status;
  }
  std::unique_ptr<File> opened;
  if (Status status = target().Open(path, options, &opened); !status) return status;
  *file = Wrap(path, std::move(opened), options.mode == OpenMode::kRead);
  return Status();
}

Status FaultEnv::CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                                 std::unique_ptr<File>* file, std::filesystem::path* path) {
  const std::filesystem::path named = folder / prefix;
  if (before_open) before_open(named, OpenMode::kCreateNew);
  if (ReadOnly(named)) return RefuseReadOnly();
  if (Status status = Check(create_failures_, named); !status) return status;
  std::unique_ptr<File> opened;
  if (Status status = target().CreateTemporary(folder, prefix, &opened, path); !status) {
    return status;
  }
  *file = Wrap(*path, std::move(opened));
  return Status();
}

Status FaultEnv::Info(const std::filesystem::path& path, FileInfo* info) {
  const Status status = target().Info(path, info);
  if (status.ok()) NoteHeld(path, *info);
  return status;
}

Status FaultEnv::LinkInfo(const std::filesystem::path& path, FileInfo* info) {
  const Status status = target().LinkInfo(path, info);
  if (status.ok()) NoteHeld(path, *info);
  return status;
}

Status FaultEnv::Link(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (ReadOnly(to)) return RefuseReadOnly();
  return target().Link(from, to);
}

Status FaultEnv::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (ReadOnly(from) || ReadOnly(to)) return RefuseReadOnly();
  if (Status status = Check(rename_failures_, to); !status) return status;
  return target().Rename(from, to);
}

Status FaultEnv::Remove(const std::filesystem::path& path) {
  if (ReadOnly(path)) return RefuseReadOnly();
  return target().Remove(path);
}

Status FaultEnv::MakeFolder(const std::filesystem::path& path) {
  if (ReadOnly(path)) return RefuseReadOnly();
  return target().MakeFolder(path);
}

Status FaultEnv::RemoveTree(const std::filesystem::path& path) {
  if (ReadOnly(path)) return RefuseReadOnly();
  return target().RemoveTree(path);
}

Status FaultEnv::SyncFolder(const std::filesystem::path&) { return Status(); }

Status FaultEnv::CheckWritable(const std::filesystem::path& path) {
  if (ReadOnly(path)) return RefuseReadOnly();
  return target().CheckWritable(path);
}

std::unique_ptr<OpenFileScan> FaultEnv::NewOpenFileScan() {
  return std::make_unique<FaultScan>(*this,
                                     other_processes_ ? target().NewOpenFileScan() : nullptr);
}

}  // namespace pontexa::testing
