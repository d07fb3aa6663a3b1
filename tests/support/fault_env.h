#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"

namespace pontexa::testing {

// Which paths a fault applies to.
using PathMatch = std::function<bool(const std::filesystem::path&)>;
// Files of this name in any folder, whatever the letter case ("ASIGT.DBF").
PathMatch Named(std::string name);
// That one path.
PathMatch At(std::filesystem::path path);
// Everything directly inside `folder`, the folder itself included.
PathMatch Inside(std::filesystem::path folder);
// The folder and everything below it, however deep.
PathMatch Under(std::filesystem::path folder);
// Every path.
PathMatch Anything();

// The system's Env with faults put in on purpose, so that a test can make a
// disk fill up after so many bytes, a sync, close or rename fail, a folder
// refuse changes, or another program hold a file, all within the test's own
// process and at exactly the moment it chooses. Everything not named here
// reaches the real file system, except that syncs of files and folders
// succeed without waiting for the disk: when bytes reach the disk is nothing a
// test can see while the system runs, and waiting for it is most of the time a
// run takes. While a test uses it, a ScopedEnv makes it the current Env:
//
//   FaultEnv faults;
//   faults.FailWritesAfter(Named("ASIGT.DBF"), 4096);
//   const ScopedEnv scoped(faults);
class FaultEnv : public EnvWrapper {
 public:
  FaultEnv();

  // A disk with room for `bytes` more bytes in matching files, as a full disk
  // behaves: only bytes that make a file longer take room (rewriting bytes a
  // file already has takes none), and cutting a file short gives its bytes
  // back. A write that needs more room than is left puts the bytes up to the
  // limit and fails with `status`. Removing a file gives nothing back, so that
  // the room a test sets does not depend on the files a run removes.
  void FailWritesAfter(PathMatch match, std::uint64_t bytes,
                       Status status = Status::Of(Status::Code::kNoSpace));
  // Syncing, closing (of a file opened for writing) or creating matching
  // files fails. A failed close still closes the file, as the system's does.
  void FailSync(PathMatch match, Status status = Status::Of(Status::Code::kNoSpace));
  void FailClose(PathMatch match, Status status = Status::Of(Status::Code::kNoSpace));
  void FailCreate(PathMatch match, Status status = Status::Of(Status::Code::kNoSpace));
  // Renaming onto a matching path fails; the file keeps its old name.
  void FailRename(PathMatch match, Status status = Status::Of(Status::Code::kOther));
  // Matching files, and everything in and below matching folders, can be
  // neither created, written, renamed nor removed; files open for reading
  // only, as on a read-only mount.
  void MakeReadOnly(PathMatch match);
  // Another program, `program`, holds matching files: they open, but a lock
  // that conflicts with `kind` is refused (every lock for an exclusive hold,
  // exclusive ones for a shared hold), another lock is seen on them, and the
  // scan of open files finds the program with them open.
  void HoldElsewhere(PathMatch match, std::string program = "horaplan.exe",
                     HoldKind kind = HoldKind::kExclusive);

  // The scan of open files finds only the programs of HoldElsewhere, not the
  // machine's other processes, whose files a test in its own folder does not
  // share: it saves reading every process's open files at every run.
  void LeaveOutOtherProcesses();

  // Called first at every open or creation of a file, with its path (for a
  // temporary file, its folder and prefix) and mode: a test can put a fault in
  // there, at exactly the moment a file is reached.
  std::function<void(const std::filesystem::path& path, OpenMode mode)> before_open;

  // A write that reached a file: where, and how many bytes.
  struct Write {
    std::filesystem::path path;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
  };
  // Every write that reached a file, in order.
  const std::vector<Write>& writes() const { return writes_; }
  // How many times a fault was put in.
  int faults() const { return faults_; }

  // The process id given to the program of the first HoldElsewhere; the
  // following ones get the next numbers.
  static constexpr ProcessId kHolderProcess = 424242;

  Status Open(const std::filesystem::path& path, OpenOptions options,
              std::unique_ptr<File>* file) override;
  Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                         std::unique_ptr<File>* file, std::filesystem::path* path) override;
  Status Info(const std::filesystem::path& path, FileInfo* info) override;
  Status LinkInfo(const std::filesystem::path& path, FileInfo* info) override;
  Status Link(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Remove(const std::filesystem::path& path) override;
  Status MakeFolder(const std::filesystem::path& path) override;
  Status RemoveTree(const std::filesystem::path& path) override;
  Status SyncFolder(const std::filesystem::path& folder) override;
  Status CheckWritable(const std::filesystem::path& path) override;
  std::unique_ptr<OpenFileScan> NewOpenFileScan() override;

 private:
  friend class FaultFile;
  friend class FaultScan;

  struct Rule {
    PathMatch match;
    Status status;
  };
  struct Room {
    PathMatch match;
    std::uint64_t left;
    Status status;
  };
  struct Holder {
    PathMatch match;
    std::string program;
    HoldKind kind;
  };

  // The status of the first rule matching `path`, ok when none does.
  Status Check(const std::vector<Rule>& rules, const std::filesystem::path& path);
  // Counts a refusal of a read-only place and gives its status.
  Status RefuseReadOnly();
  bool ReadOnly(const std::filesystem::path& path) const;
  // The index of the first holder of `path` in holders_, or -1.
  int HolderIndex(const std::filesystem::path& path) const;
  // Notes the file's device and inode when another program holds it, for the
  // scan of open files.
  void NoteHeld(const std::filesystem::path& path, const FileInfo& info);
  // The room of the first write limit matching `path`, or null.
  Room* RoomFor(const std::filesystem::path& path);
  std::unique_ptr<File> Wrap(const std::filesystem::path& path, std::unique_ptr<File> file,
                             bool only_read = false);

  std::vector<Room> rooms_;
  std::vector<Rule> sync_failures_;
  std::vector<Rule> close_failures_;
  std::vector<Rule> create_failures_;
  std::vector<Rule> rename_failures_;
  std::vector<PathMatch> read_only_;
  std::vector<Holder> holders_;
  // The files seen held, by device and inode, with the index of their holder.
  std::map<std::pair<std::uint64_t, std::uint64_t>, int> held_files_;
  std::vector<Write> writes_;
  bool other_processes_ = true;
  int faults_ = 0;
};

}  // namespace pontexa::testing
