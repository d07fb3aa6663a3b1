#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace pontexa {

// A process that holds or uses a file; pid 0 and no program name when unknown.
struct FileHolder {
  pid_t pid = 0;
  std::string program;
};

// The program name of a process (its comm entry, such as "wineserver" or
// "hold.exe"), "" when it cannot be read. Bytes that are not printable UTF-8
// come back as "?", so the name can go into a message.
std::string ProgramName(pid_t pid, const std::filesystem::path& proc_root = "/proc");

// The regular files that other processes have open, from one pass over
// /proc/<pid>/fd made at the first question and kept for the later ones: a run
// asks about every table it touches, and one pass answers for all of them.
// Files are told apart by device and inode, whatever path reached them. A
// descriptor found is looked at again before it counts, so a file closed since
// (whose inode a new file may have taken) is not reported; a file opened after
// the pass is not seen. Processes whose descriptors this user may not inspect
// are skipped, and this process never counts: its own handles are not another
// program.
class OpenFileScan {
 public:
  explicit OpenFileScan(std::filesystem::path proc_root = "/proc");

  // Another process that had the file open at the pass, if any, with its name.
  std::optional<FileHolder> HolderOf(dev_t device, ino_t inode) const;
  // The process with its name, for a holder known by its id only.
  FileHolder Describe(pid_t pid) const;

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

}  // namespace pontexa
