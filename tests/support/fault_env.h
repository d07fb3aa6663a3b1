#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"

namespace pontexa::testing {

// Which paths a fault applies to.
using PathMatch = std::function<bool(const std::filesystem::path&)>;
// Files of this name in any folder, whatever the letter case ("ASIGT.DBF").
PathMatch Named(std::string name);
// Everything directly inside `folder`, the folder itself included.
PathMatch Inside(std::filesystem::path folder);
// Every path.
PathMatch Anything();

// The system's Env with faults put in on purpose, so that a test can make a
// disk fill up after so many bytes, a sync, close or rename fail, a folder
// refuse changes, or another program hold a file, all within the test's own
// process and at exactly the moment it chooses. Everything not named here
// reaches the real file system. While a test uses it, a ScopedEnv makes it the
// current Env:
//
//   FaultEnv faults;
//   faults.FailWritesAfter(Named("ASIGT.DBF"), 4096);
//   const ScopedEnv scoped(faults);
class FaultEnv : public EnvWrapper {
 public:
  FaultEnv();

  // Writes to matching files take `bytes` bytes in all, then fail with
  // `status`: a write that would cross the limit puts the bytes up to it and
  // fails, as a full disk does.
  void FailWritesAfter(PathMatch match, std::uint64_t bytes,
                       Status status = Status::Of(Status::Code::kNoSpace));
  // Syncing, closing or creating matching files fails.
  void FailSync(PathMatch match, Status status = Status::Of(Status::Code::kNoSpace));
  void FailClose(PathMatch match, Status status = Status::Of(Status::Code::kNoSpace));
  void FailCreate(PathMatch match, Status status = Status::Of(Status::Code::kNoSpace));
  // Renaming onto a matching path fails.
  void FailRename(PathMatch match, Status status = Status::Of(Status::Code::kOther));
  // Nothing in a matching folder can be created, written, renamed or removed;
  // its files open for reading only, as on a read-only mount.
  void MakeReadOnly(PathMatch match);
  // Another program, `program`, holds matching files: they open, but every
  // lock on them is refused and the holder is named.
  void HoldElsewhere(PathMatch match, std::string program = "horaplan.exe");

  // How many times a fault was put in.
  int faults() const { return faults_; }

  // The process id given to the program that holds files.
  static constexpr ProcessId kHolderProcess = 424242;

  Status Open(const std::filesystem::path& path, OpenOptions options,
              std::unique_ptr<File>* file) override;
  Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                         std::unique_ptr<File>* file, std::filesystem::path* path) override;
  Status Link(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Remove(const std::filesystem::path& path) override;
  Status MakeFolder(const std::filesystem::path& path) override;
  Status RemoveTree(const std::filesystem::path& path) override;
  Status CheckWritable(const std::filesystem::path& path) override;
  std::unique_ptr<OpenFileScan> NewOpenFileScan() override;

 private:
  friend class FaultFile;
  friend class FaultScan;

  struct Rule {
    PathMatch match;
    Status status;
  };
  struct WriteLimit {
    PathMatch match;
    std::uint64_t left;
    Status status;
  };

  // The status of the first rule matching `path`, ok when none does.
  Status Check(const std::vector<Rule>& rules, const std::filesystem::path& path);
  bool ReadOnly(const std::filesystem::path& path) const;
  bool Held(const std::filesystem::path& path) const;
  std::string HolderName(const std::filesystem::path& path) const;
  std::unique_ptr<File> Wrap(const std::filesystem::path& path, std::unique_ptr<File> file);

  std::vector<WriteLimit> write_limits_;
  std::vector<Rule> sync_failures_;
  std::vector<Rule> close_failures_;
  std::vector<Rule> create_failures_;
  std::vector<Rule> rename_failures_;
  std::vector<PathMatch> read_only_;
  std::vector<std::pair<PathMatch, std::string>> held_;
  // The files seen held, by device and inode, for the scan of open files.
  std::set<std::pair<std::uint64_t, std::uint64_t>> held_files_;
  std::string held_program_;
  int faults_ = 0;
};

}  // namespace pontexa::testing
