#include "support/crash_states.h"

#include <algorithm>

#include "support/temp_dir.h"

namespace pontexa::testing {

namespace fs = std::filesystem;

// An open file whose writes, truncations and syncs are recorded.
class RecordedFile : public File {
 public:
  RecordedFile(ChangeRecorder& recorder, int handle, std::unique_ptr<File> target)
      : recorder_(recorder), handle_(handle), target_(std::move(target)) {}

  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read) override {
    return target_->ReadAt(offset, buffer, size, read);
  }
  Status Read(char* buffer, std::size_t size, std::size_t* read) override {
    const Status status = target_->Read(buffer, size, read);
    position_ += *read;
    return status;
  }
  Status WriteAt(std::uint64_t offset, std::string_view bytes, std::size_t* written) override {
    std::size_t done = 0;
    const Status status = target_->WriteAt(offset, bytes, &done);
    Written(offset, bytes.substr(0, done));
    if (written != nullptr) *written = done;
    return status;
  }
  Status Append(std::string_view bytes) override {
    const Status status = target_->Append(bytes);
    if (status.ok()) {
      Written(position_, bytes);
      position_ += bytes.size();
    }
    return status;
  }
  Status Truncate(std::uint64_t size) override {
    const Status status = target_->Truncate(size);
    if (status.ok()) {
      recorder_.Add({FileChange::Kind::kTruncate, "", "", handle_, size, ""});
    }
    return status;
  }
  void StartWriteBack(std::uint64_t offset, std::uint64_t length) override {
    target_->StartWriteBack(offset, length);
  }
  Status Sync() override {
    const Status status = target_->Sync();
    if (status.ok()) recorder_.Add({FileChange::Kind::kSync, "", "", handle_, 0, ""});
    return status;
  }
  Status Info(FileInfo* info) override { return target_->Info(info); }
  Status TakeAccessOf(const FileInfo* original) override { return target_->TakeAccessOf(original); }
  Status Close() override { return target_->Close(); }
  bool TryHold(HoldKind kind) override { return target_->TryHold(kind); }
  std::optional<ProcessId> LockedElsewhere() override { return target_->LockedElsewhere(); }

 private:
  void Written(std::uint64_t offset, std::string_view bytes) {
    if (!bytes.empty()) {
      recorder_.Add({FileChange::Kind::kWrite, "", "", handle_, offset, std::string(bytes)});
    }
  }

  ChangeRecorder& recorder_;
  int handle_;
  std::unique_ptr<File> target_;
  std::uint64_t position_ = 0;
};

ChangeRecorder::ChangeRecorder(Env& target, fs::path root)
    : EnvWrapper(target), root_(root.lexically_normal()) {}

std::optional<std::string> ChangeRecorder::Relative(const fs::path& path) const {
  const fs::path relative = path.lexically_normal().lexically_relative(root_);
  const std::string text = relative.string();
  if (text.empty() || text.starts_with("..")) return std::nullopt;
  if (text == ".") return "";
  // A folder path given with a final separator.
  return text.ends_with('/') ? text.substr(0, text.size() - 1) : text;
}

std::unique_ptr<File> ChangeRecorder::Wrap(const std::string& relative, std::unique_ptr<File> file,
                                           bool opened, bool created, bool emptied) {
  const int handle = ++handles_;
  if (opened) {
    FileChange change{FileChange::Kind::kOpen, relative, "", handle, created ? 1u : 0u, ""};
    Add(change);
    if (emptied) Add({FileChange::Kind::kTruncate, "", "", handle, 0, ""});
  }
  return std::make_unique<RecordedFile>(*this, handle, std::move(file));
}

Status ChangeRecorder::Open(const fs::path& path, OpenOptions options,
                            std::unique_ptr<File>* file) {
  const std::optional<std::string> relative = Relative(path);
  const bool existed = NameExists(path);
  const Status status = target().Open(path, options, file);
  if (!status || !relative) return status;
  const bool emptied =
      options.mode == OpenMode::kReplace || options.mode == OpenMode::kOverwrite;
  *file = Wrap(*relative, std::move(*file), true, !existed, existed && emptied);
  return status;
}

Status ChangeRecorder::CreateTemporary(const fs::path& folder, std::string_view prefix,
                                       std::unique_ptr<File>* file, fs::path* path) {
  const Status status = target().CreateTemporary(folder, prefix, file, path);
  if (!status) return status;
  if (const std::optional<std::string> relative = Relative(*path)) {
    *file = Wrap(*relative, std::move(*file), true, true, false);
  }
  return status;
}

Status ChangeRecorder::OpenLocked(const fs::path& path, LockRequest request,
                                  std::unique_ptr<File>* file) {
  const std::optional<std::string> relative = Relative(path);
  const bool existed = NameExists(path);
  const Status status = target().OpenLocked(path, request, file);
  if (!status || !relative) return status;
  *file = Wrap(*relative, std::move(*file), true, !existed, false);
  return status;
}

Status ChangeRecorder::Link(const fs::path& from, const fs::path& to) {
  const Status status = target().Link(from, to);
  const std::optional<std::string> a = Relative(from), b = Relative(to);
  if (status.ok() && a && b) Add({FileChange::Kind::kLink, *a, *b, 0, 0, ""});
  return status;
}

Status ChangeRecorder::Rename(const fs::path& from, const fs::path& to) {
  const Status status = target().Rename(from, to);
  const std::optional<std::string> a = Relative(from), b = Relative(to);
  if (status.ok() && a && b) Add({FileChange::Kind::kRename, *a, *b, 0, 0, ""});
  return status;
}

Status ChangeRecorder::Remove(const fs::path& path) {
  const Status status = target().Remove(path);
  if (const std::optional<std::string> relative = Relative(path); status.ok() && relative) {
    Add({FileChange::Kind::kRemove, *relative, "", 0, 0, ""});
  }
  return status;
}

Status ChangeRecorder::MakeFolder(const fs::path& path) {
  const Status status = target().MakeFolder(path);
  if (const std::optional<std::string> relative = Relative(path); status.ok() && relative) {
    Add({FileChange::Kind::kMakeFolder, *relative, "", 0, 0, ""});
  }
  return status;
}

Status ChangeRecorder::RemoveTree(const fs::path& path) {
  const Status status = target().RemoveTree(path);
  if (const std::optional<std::string> relative = Relative(path); status.ok() && relative) {
    Add({FileChange::Kind::kRemoveFolder, *relative, "", 0, 0, ""});
  }
  return status;
}

Status ChangeRecorder::RemoveEmptyFolder(const fs::path& path) {
  const Status status = target().RemoveEmptyFolder(path);
  if (const std::optional<std::string> relative = Relative(path); status.ok() && relative) {
    Add({FileChange::Kind::kRemoveFolder, *relative, "", 0, 0, ""});
  }
  return status;
}

Status ChangeRecorder::SyncFolder(const fs::path& folder) {
  const Status status = target().SyncFolder(folder);
  if (const std::optional<std::string> relative = Relative(folder); status.ok() && relative) {
    Add({FileChange::Kind::kSyncFolder, *relative, "", 0, 0, ""});
  }
  return status;
}

namespace {

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool Below(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

}  // namespace

CrashState::CrashState(const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_directory()) {
      system_.folders.insert(relative);
    } else if (entry.is_regular_file()) {
      const int inode = ++inodes_;
      system_.names[relative] = inode;
      contents_[inode] = ReadFile(entry.path());
    }
  }
  disk_ = system_;
  disk_contents_ = contents_;
}

void CrashState::Apply(const FileChange& change) {
  using Kind = FileChange::Kind;
  const auto inode_of = [&](int handle) {
    const auto found = handles_.find(handle);
    return found == handles_.end() ? 0 : found->second;
  };
  switch (change.kind) {
    case Kind::kOpen: {
      auto found = system_.names.find(change.path);
      if (found == system_.names.end()) {
        const int inode = ++inodes_;
        contents_[inode] = "";
        found = system_.names.emplace(change.path, inode).first;
      }
      handles_[change.handle] = found->second;
      break;
    }
    case Kind::kTruncate:
      if (const int inode = inode_of(change.handle)) contents_[inode].resize(change.offset);
      break;
    case Kind::kWrite:
      if (const int inode = inode_of(change.handle)) {
        std::string& bytes = contents_[inode];
        const std::size_t end = change.offset + change.bytes.size();
        if (bytes.size() < end) bytes.resize(end);
        bytes.replace(change.offset, change.bytes.size(), change.bytes);
      }
      break;
    case Kind::kSync:
      if (const int inode = inode_of(change.handle)) disk_contents_[inode] = contents_[inode];
      break;
    case Kind::kRename: {
      if (system_.folders.count(change.path)) {
        // A folder moves with everything below it.
        std::map<std::string, int> names;
        for (const auto& [name, inode] : system_.names) {
          names[Below(name, change.path) ? change.to + name.substr(change.path.size()) : name] =
              inode;
        }
        system_.names = std::move(names);
        std::set<std::string> folders;
        for (const std::string& folder : system_.folders) {
          folders.insert(folder == change.path || Below(folder, change.path)
                             ? change.to + folder.substr(change.path.size())
                             : folder);
        }
        system_.folders = std::move(folders);
        break;
      }
      const auto found = system_.names.find(change.path);
      if (found == system_.names.end()) break;
      const int inode = found->second;
      system_.names.erase(found);
      system_.names[change.to] = inode;
      break;
    }
    case Kind::kLink:
      if (const auto found = system_.names.find(change.path); found != system_.names.end()) {
        system_.names[change.to] = found->second;
      }
      break;
    case Kind::kRemove:
      system_.names.erase(change.path);
      break;
    case Kind::kMakeFolder:
      system_.folders.insert(change.path);
      break;
    case Kind::kRemoveFolder:
      std::erase_if(system_.names, [&](const auto& entry) { return Below(entry.first, change.path); });
      std::erase_if(system_.folders, [&](const std::string& folder) {
        return folder == change.path || Below(folder, change.path);
      });
      break;
    case Kind::kSyncFolder: {
      // The folder's own entries reach the disk as the system shows them.
      const std::string& folder = change.path;
      std::erase_if(disk_.names, [&](const auto& entry) { return ParentOf(entry.first) == folder; });
      std::erase_if(disk_.folders, [&](const std::string& f) { return ParentOf(f) == folder; });
      for (const auto& [name, inode] : system_.names) {
        if (ParentOf(name) == folder) disk_.names[name] = inode;
      }
      for (const std::string& f : system_.folders) {
        if (ParentOf(f) == folder) disk_.folders.insert(f);
      }
      break;
    }
  }
}

bool CrashState::Reachable(const View& view, const std::string& name) {
  for (std::string path = ParentOf(name); !path.empty(); path = ParentOf(path)) {
    if (!view.folders.count(path)) return false;
  }
  return true;
}

std::size_t CrashState::Fingerprint(bool disk) const {
  const View& view = disk ? disk_ : system_;
  const std::map<int, std::string>& contents = disk ? disk_contents_ : contents_;
  std::size_t print = 0;
  const auto mix = [&print](std::size_t value) {
    print ^= value + 0x9e3779b97f4a7c15ULL + (print << 6) + (print >> 2);
  };
  for (const std::string& folder : view.folders) {
    if (Reachable(view, folder)) mix(std::hash<std::string>()(folder));
  }
  for (const auto& [name, inode] : view.names) {
    if (!Reachable(view, name)) continue;
    mix(std::hash<std::string>()(name));
    const auto found = contents.find(inode);
    mix(std::hash<std::string>()(found == contents.end() ? std::string() : found->second));
  }
  return print;
}

void CrashState::Write(const View& view, const std::map<int, std::string>& contents,
                       const fs::path& folder) const {
  // A name lies in the view only when every folder above it does.
  const auto reachable = [&](const std::string& path) { return Reachable(view, path); };
  for (const std::string& name : view.folders) {
    if (reachable(name)) fs::create_directories(folder / name);
  }
  for (const auto& [name, inode] : view.names) {
    if (!reachable(name)) continue;
    const auto found = contents.find(inode);
    WriteFile(folder / name, found == contents.end() ? std::string() : found->second);
  }
}

void CrashState::WriteSystemView(const fs::path& folder) const {
  Write(system_, contents_, folder);
}

void CrashState::WriteDiskView(const fs::path& folder) const {
  Write(disk_, disk_contents_, folder);
}

}  // namespace pontexa::testing
