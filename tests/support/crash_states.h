#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/env.h"

namespace pontexa::testing {

// One change a run made to the file system, as the system call that made it.
struct FileChange {
  enum class Kind {
    kOpen,        // a file opened for writing; `created` when the name was new
    kTruncate,    // (also the emptying of an open for replacing)
    kWrite,
    kSync,
    kRename,
    kLink,
    kRemove,
    kMakeFolder,
    kRemoveFolder,  // with everything below it
    kSyncFolder,
  };
  Kind kind;
  std::string path;  // relative to the recorded folder
  std::string to;    // for rename and link
  int handle = 0;    // the open file a write, truncate or sync went through
  std::uint64_t offset = 0;  // for write; the new size for truncate
  std::string bytes;         // for write
};

// An Env that records every change made below `root`, in order, and hands
// each call on to `target`. Syncs are recorded and not waited for: the
// recorded order, not the disk, says what a power cut keeps.
class ChangeRecorder : public EnvWrapper {
 public:
  ChangeRecorder(Env& target, std::filesystem::path root);
  const std::vector<FileChange>& changes() const { return changes_; }

  Status Open(const std::filesystem::path& path, OpenOptions options,
              std::unique_ptr<File>* file) override;
  Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                         std::unique_ptr<File>* file, std::filesystem::path* path) override;
  Status OpenLocked(const std::filesystem::path& path, LockRequest request,
                    std::unique_ptr<File>* file) override;
  Status Link(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Remove(const std::filesystem::path& path) override;
  Status MakeFolder(const std::filesystem::path& path) override;
  Status RemoveTree(const std::filesystem::path& path) override;
  Status RemoveEmptyFolder(const std::filesystem::path& path) override;
  Status SyncFolder(const std::filesystem::path& folder) override;

 private:
  friend class RecordedFile;
  // The path relative to root ("" for root itself), or nothing outside it.
  std::optional<std::string> Relative(const std::filesystem::path& path) const;
  void Add(FileChange change) { changes_.push_back(std::move(change)); }
  std::unique_ptr<File> Wrap(const std::string& relative, std::unique_ptr<File> file, bool opened,
                             bool created, bool emptied);

  std::filesystem::path root_;
  std::vector<FileChange> changes_;
  int handles_ = 0;
};

// A folder's files and folders as a crash leaves them, built from its state
// before a run and a prefix of the run's changes. Two views: what the running
// system showed (a process killed there), and what the disk held for sure (a
// power cut there): file contents as of their last sync, names in a folder as
// of that folder's last sync; a file whose name reached the disk but whose
// bytes never did is empty.
class CrashState {
 public:
  // The folder as it is now, below `root`.
  explicit CrashState(const std::filesystem::path& root);
  void Apply(const FileChange& change);

  // A number that tells one view from another: equal views give equal
  // numbers, so that a state reached twice is checked once.
  std::size_t Fingerprint(bool disk) const;

  // Writes the view into `folder`, which must be empty.
  void WriteSystemView(const std::filesystem::path& folder) const;
  void WriteDiskView(const std::filesystem::path& folder) const;

 private:
  struct View {
    std::map<std::string, int> names;  // file path -> inode
    std::set<std::string> folders;
  };
  // Whether every folder above `path` lies in the view.
  static bool Reachable(const View& view, const std::string& path);
  void Write(const View& view, const std::map<int, std::string>& contents,
             const std::filesystem::path& folder) const;

  View system_;
  View disk_;
  std::map<int, std::string> contents_;       // as the system shows them
  std::map<int, std::string> disk_contents_;  // as last synced
  std::map<int, int> handles_;                // open file -> inode
  int inodes_ = 0;
};

}  // namespace pontexa::testing
