#include "support/fault_env.h"

#include "platform/ascii.h"

namespace pontexa::testing {

PathMatch Named(std::string name) {
  return [name = std::move(name)](const std::filesystem::path& path) {
    return SameIgnoringAsciiCase(path.filename().string(), name);
  };
}

PathMatch Inside(std::filesystem::path folder) {
  folder = folder.lexically_normal();
  return [folder](const std::filesystem::path& path) {
    const std::filesystem::path normal = path.lexically_normal();
    return normal == folder || normal.parent_path() == folder;
  };
}

PathMatch Anything() {
  return [](const std::filesystem::path&) { return true; };
}

// A file of the real file system whose writes, syncs, closes and locks the
// FaultEnv may refuse.
class FaultFile : public File {
 public:
  FaultFile(FaultEnv& env, std::filesystem::path path, std::unique_ptr<File> target)
      : env_(env), path_(std::move(path)), target_(std::move(target)) {}

  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read) override {
    return target_->ReadAt(offset, buffer, size, read);
  }
  Status Read(char* buffer, std::size_t size, std::size_t* read) override {
    return target_->Read(buffer, size, read);
  }

  Status WriteAt(std::uint64_t offset, std::string_view bytes, std::size_t* written) override {
    std::size_t allowed = bytes.size();
    const Status refused = Limit(allowed);
    std::size_t done = 0;
    Status status = target_->WriteAt(offset, bytes.substr(0, allowed), &done);
    if (written != nullptr) *written = done;
    return status.ok() ? refused : status;
  }

  Status Append(std::string_view bytes) override {
    std::size_t allowed = bytes.size();
    const Status refused = Limit(allowed);
    const Status status = target_->Append(bytes.substr(0, allowed));
    return status.ok() ? refused : status;
  }

  Status Truncate(std::uint64_t size) override { return target_->Truncate(size); }
  void StartWriteBack(std::uint64_t offset, std::uint64_t length) override {
    target_->StartWriteBack(offset, length);
  }

  Status Sync() override {
    if (Status status = env_.Check(env_.sync_failures_, path_); !status) return status;
    return target_->Sync();
  }

  Status Info(FileInfo* info) override { return target_->Info(info); }
  Status TakeAccessOf(const FileInfo* original) override { return target_->TakeAccessOf(original); }

  Status Close() override {
    const Status status = target_->Close();
    if (Status refused = env_.Check(env_.close_failures_, path_); !refused) return refused;
    return status;
  }

  bool TryHold(HoldKind kind) override {
    if (env_.Held(path_)) {
      ++env_.faults_;
      return false;
    }
    return target_->TryHold(kind);
  }

  std::optional<ProcessId> LockedElsewhere() override {
    if (env_.Held(path_)) return FaultEnv::kHolderProcess;
    return target_->LockedElsewhere();
  }

 private:
  // Cuts `allowed` to what the first matching write limit still takes, and
  // gives the failure to report when it cut anything.
  Status Limit(std::size_t& allowed) {
    for (FaultEnv::WriteLimit& limit : env_.write_limits_) {
      if (!limit.match(path_)) continue;
      if (allowed <= limit.left) {
        limit.left -= allowed;
        return Status();
      }
      allowed = static_cast<std::size_t>(limit.left);
      limit.left = 0;
      ++env_.faults_;
      return limit.status;
    }
    return Status();
  }

  FaultEnv& env_;
  std::filesystem::path path_;
  std::unique_ptr<File> target_;
};

// The real scan of open files, with the files held by the made-up program added.
class FaultScan : public OpenFileScan {
 public:
  FaultScan(const FaultEnv& env, std::unique_ptr<OpenFileScan> target)
      : env_(env), target_(std::move(target)) {}

  std::optional<Holder> HolderOf(const FileInfo& file) const override {
    if (env_.held_files_.count({file.device, file.inode}) != 0) {
      return Holder{FaultEnv::kHolderProcess, env_.held_program_};
    }
    return target_->HolderOf(file);
  }

  Holder Describe(ProcessId process) const override {
    if (process == FaultEnv::kHolderProcess) return {process, env_.held_program_};
    return target_->Describe(process);
  }

 private:
  const FaultEnv& env_;
  std::unique_ptr<OpenFileScan> target_;
};

FaultEnv::FaultEnv() : EnvWrapper(Env::System()) {}

void FaultEnv::FailWritesAfter(PathMatch match, std::uint64_t bytes, Status status) {
  write_limits_.push_back({std::move(match), bytes, std::move(status)});
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

void FaultEnv::MakeReadOnly(PathMatch match) { read_only_.push_back(std::move(match)); }

void FaultEnv::HoldElsewhere(PathMatch match, std::string program) {
  held_program_ = program;
  held_.emplace_back(std::move(match), std::move(program));
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

bool FaultEnv::ReadOnly(const std::filesystem::path& path) const {
  for (const PathMatch& match : read_only_) {
    if (match(path)) return true;
  }
  return false;
}

bool FaultEnv::Held(const std::filesystem::path& path) const {
  for (const auto& [match, program] : held_) {
    if (match(path)) return true;
  }
  return false;
}

std::unique_ptr<File> FaultEnv::Wrap(const std::filesystem::path& path,
                                     std::unique_ptr<File> file) {
  if (Held(path)) {
    FileInfo info;
    if (file->Info(&info).ok()) held_files_.insert({info.device, info.inode});
  }
  return std::make_unique<FaultFile>(*this, path, std::move(file));
}

Status FaultEnv::Open(const std::filesystem::path& path, OpenOptions options,
                      std::unique_ptr<File>* file) {
  const bool creates = options.mode == OpenMode::kReadWriteCreate ||
                       options.mode == OpenMode::kCreateNew || options.mode == OpenMode::kReplace;
  if (options.mode != OpenMode::kRead && ReadOnly(path)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  if (creates) {
    if (Status status = Check(create_failures_, path); !status) return status;
  }
  std::unique_ptr<File> opened;
  if (Status status = target().Open(path, options, &opened); !status) return status;
  *file = Wrap(path, std::move(opened));
  return Status();
}

Status FaultEnv::CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                                 std::unique_ptr<File>* file, std::filesystem::path* path) {
  const std::filesystem::path named = folder / prefix;
  if (ReadOnly(named)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  if (Status status = Check(create_failures_, named); !status) return status;
  std::unique_ptr<File> opened;
  if (Status status = target().CreateTemporary(folder, prefix, &opened, path); !status) {
    return status;
  }
  *file = Wrap(*path, std::move(opened));
  return Status();
}

Status FaultEnv::Link(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (ReadOnly(to)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  return target().Link(from, to);
}

Status FaultEnv::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (ReadOnly(from) || ReadOnly(to)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  if (Status status = Check(rename_failures_, to); !status) return status;
  return target().Rename(from, to);
}

Status FaultEnv::Remove(const std::filesystem::path& path) {
  if (ReadOnly(path)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  return target().Remove(path);
}

Status FaultEnv::MakeFolder(const std::filesystem::path& path) {
  if (ReadOnly(path)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  return target().MakeFolder(path);
}

Status FaultEnv::RemoveTree(const std::filesystem::path& path) {
  if (ReadOnly(path)) {
    ++faults_;
    return Status::Of(Status::Code::kReadOnly);
  }
  return target().RemoveTree(path);
}

Status FaultEnv::CheckWritable(const std::filesystem::path& path) {
  if (ReadOnly(path)) return Status::Of(Status::Code::kReadOnly);
  return target().CheckWritable(path);
}

std::unique_ptr<OpenFileScan> FaultEnv::NewOpenFileScan() {
  return std::make_unique<FaultScan>(*this, target().NewOpenFileScan());
}

}  // namespace pontexa::testing
