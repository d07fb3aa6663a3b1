#include "platform/posix/proc_open_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>

namespace pontexa::posix {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// The process id a /proc entry names, or nothing for "self", "sys" and the rest.
std::optional<pid_t> PidOf(std::string_view name) {
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || end != name.data() + name.size() || pid <= 0) return std::nullopt;
  return pid;
}

// Length of the valid UTF-8 sequence at the start of text, 0 when there is none.
std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
  if (length == 0 || length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

std::string Printable(std::string_view text) {
  std::string shown;
  while (!text.empty()) {
    const std::size_t length = Utf8Length(text);
    const auto first = static_cast<unsigned char>(text[0]);
    if (length == 0 || (length == 1 && (first < 0x20 || first == 0x7F))) {
      shown += '?';
      text.remove_prefix(1);
    } else {
      shown.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return shown;
}

}  // namespace

std::string ProgramName(pid_t pid, const std::filesystem::path& proc_root) {
  std::ifstream comm(proc_root / std::to_string(pid) / "comm", std::ios::binary);
  if (!comm) return "";
  std::string name((std::istreambuf_iterator<char>(comm)), std::istreambuf_iterator<char>());
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return Printable(name);
}

ProcOpenFileScan::ProcOpenFileScan(std::filesystem::path proc_root)
    : proc_root_(std::move(proc_root)) {}

std::optional<OpenFileScan::Holder> ProcOpenFileScan::HolderOf(const FileInfo& file) const {
  if (!scanned_) Scan();
  const auto device = static_cast<dev_t>(file.device);
  const auto inode = static_cast<ino_t>(file.inode);
  const auto [first, last] = open_files_.equal_range({device, inode});
  for (auto it = first; it != last; ++it) {
    const Descriptor& open = it->second;
    // Still the same file now: an inode freed since may belong to a new file.
    struct stat status;
    const std::string link = (proc_root_ / std::to_string(open.pid) / "fd" / open.number).string();
    if (stat(link.c_str(), &status) == 0 && status.st_dev == device && status.st_ino == inode) {
      return Describe(open.pid);
    }
  }
  return std::nullopt;
}

OpenFileScan::Holder ProcOpenFileScan::Describe(ProcessId process) const {
  return {process, ProgramName(process, proc_root_)};
}

void ProcOpenFileScan::Scan() const {
  scanned_ = true;
  const pid_t self = getpid();
  const DirPtr processes(opendir(proc_root_.c_str()));
  if (!processes) return;
  while (const dirent* process = readdir(processes.get())) {
    const std::optional<pid_t> pid = PidOf(process->d_name);
    if (!pid || *pid == self) continue;
    const std::string fd_folder = (proc_root_ / process->d_name / "fd").string();
    // Another user's process, or one that ended meanwhile: nothing to learn.
    const DirPtr descriptors(opendir(fd_folder.c_str()));
    if (!descriptors) continue;
    const int folder = dirfd(descriptors.get());
    while (const dirent* descriptor = readdir(descriptors.get())) {
      if (descriptor->d_name[0] == '.') continue;
      struct stat status;
      // Following the link reaches the open file itself, even when it was deleted.
      if (fstatat(folder, descriptor->d_name, &status, 0) != 0) continue;
      if (!S_ISREG(status.st_mode)) continue;
      open_files_.emplace(std::make_pair(status.st_dev, status.st_ino),
                          Descriptor{*pid, descriptor->d_name});
    }
  }
}

}  // namespace pontexa::posix
