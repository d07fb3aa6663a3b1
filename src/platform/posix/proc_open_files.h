#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/env.h"

namespace pontexa::posix {

// The program name of a process (its comm entry, such as "wineserver" or
// "hold.exe"), "" when it cannot be read. Bytes that are not printable UTF-8
// come back as "?", so the name can go into a message.
std::string ProgramName(pid_t pid, const std::filesystem::path& proc_root = "/proc");

// The open files of other processes, from one pass over /proc/<pid>/fd made at
// the first question. Files are told apart by device and inode, whatever path
// reached them. A descriptor found is looked at again before it counts, so a
// file closed since (whose inode a new file may have taken) is not reported; a
// file opened after the pass is not seen.
class ProcOpenFileScan : public OpenFileScan {
 public:
  explicit ProcOpenFileScan(std::filesystem::path proc_root = "/proc");

  std::optional<Holder> HolderOf(const FileInfo& file) const override;
  Holder Describe(ProcessId process) const override;

 private:
  void Scan() const;

  std::filesystem::path proc_root_;
  mutable bool scanned_ = false;
  struct Descriptor {
    pid_t pid;
    std::string number;  // its name in /proc/<pid>/fd
  };
  mutable std::multimap<std::pair<dev_t, ino_t>, Descriptor> open_files_;
};

}  // namespace pontexa::posix
