#include "exchange/file_io.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "exchange/messages.h"
#include "platform/error.h"
#include "platform/file_descriptor.h"
#include "platform/system_error_text.h"

namespace pontexa::exchange {
namespace {

// The temporary file of a save: removed unless the save committed it. While it
// lives it holds a lock on the file, so that no other save takes it for one
// left behind by a process that was killed.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() {
    fd.Close();
    if (!path.empty() && !committed) unlink(path.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string path;
  FileDescriptor fd;
  FileDescriptor lock;  // a second descriptor, so the lock outlasts the checked close of fd
  bool committed = false;
};

[[noreturn]] void FailSave(const std::string& path, const std::string& why) {
  throw Error(messages::CannotSave(path, why));
}

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
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (!IsTemporaryNameOf(name, base)) continue;
    const std::string path = folder + "/" + name;
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) unlink(path.c_str());
  }
  closedir(directory);
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// Writes all of bytes, going on after short writes; returns 0 or the errno.
int WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace

BlockWriter::BlockWriter(int fd) : fd_(fd) {
  // Without a file nothing is written, and nothing is tried.
  if (fd < 0) error_ = EBADF;
  buffer_.reserve(kBlockSize);
}

bool BlockWriter::Append(std::string_view bytes) {
  if (error_ != 0) return false;
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
  if (error_ == 0 && bytes.size() >= kBlockSize) {
    std::size_t whole = bytes.size() - bytes.size() % kBlockSize;
    Write(bytes.substr(0, whole));
    bytes.remove_prefix(whole);
  }
  if (error_ != 0) return false;
  buffer_.append(bytes);
  return true;
}

void BlockWriter::Write(std::string_view bytes) {
  error_ = WriteAll(fd_, bytes);
  if (error_ != 0) return;
  written_ += bytes.size();
  // Start writing back what has gathered, without waiting for it.
  constexpr std::size_t kWritebackStep = std::size_t{8} << 20;
  if (written_ - sent_to_disk_ >= kWritebackStep) {
    sync_file_range(fd_, static_cast<off_t>(sent_to_disk_),
                    static_cast<off_t>(written_ - sent_to_disk_), SYNC_FILE_RANGE_WRITE);
    sent_to_disk_ = written_;
  }
}

std::string BlockWriter::Finish() {
  if (error_ == 0 && !buffer_.empty()) Write(buffer_);
  buffer_.clear();
  return error_ == 0 ? "" : SystemErrorText(error_);
}

// Opens an existing regular file for reading; "" on success, else why not.
std::string OpenForReading(const std::string& path, FileDescriptor& fd, struct stat& info) {
  if (path.empty()) return messages::NoFileGiven();
  fd.Reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return SystemErrorText(errno);
  if (fstat(fd.get(), &info) != 0) return SystemErrorText(errno);
  if (S_ISDIR(info.st_mode)) return SystemErrorText(EISDIR);
  if (!S_ISREG(info.st_mode)) return messages::NotARegularFile();
  return "";
}

std::string ReadFileInBlocks(const std::string& path,
                             const std::function<bool(std::string_view block)>& consume) {
  FileDescriptor fd(-1);
  struct stat info;
  if (std::string why = OpenForReading(path, fd, info); !why.empty()) return why;
  std::string buffer(BlockWriter::kBlockSize, '\0');
  for (;;) {
    ssize_t got = read(fd.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return SystemErrorText(errno);
    }
    if (got == 0) return "";
    if (!consume(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) return "";
  }
}

std::string ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  FileDescriptor fd(-1);
  struct stat info;
  if (std::string why = OpenForReading(path, fd, info); !why.empty()) return why;
  if (info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      int error_number = errno;
      bytes.clear();
      return SystemErrorText(error_number);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return "";
}

void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<std::string(std::string_view written)>& check) {
  WriteFileAtomically(
      path,
      [bytes](int fd) -> std::string {
        int error = WriteAll(fd, bytes);
        return error == 0 ? "" : SystemErrorText(error);
      },
      [bytes, &check](const std::string& temporary) -> std::string {
        std::string written;
        std::string unreadable = ReadWholeFile(temporary, written);
        if (!unreadable.empty()) return unreadable;
        if (written != bytes) return messages::WrittenDiffers();
        return check(written);
      });
}

void WriteFileAtomically(const std::string& path, const std::function<std::string(int fd)>& write,
                         const std::function<std::string(const std::string& written)>& check) {
  // Save through a symbolic link to the file it names, so the link stays a link.
  std::string target = path;
  struct stat link_info;
  if (!path.empty() && lstat(path.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) target = resolved;
  }

  struct stat original;
  bool exists = !path.empty() && stat(target.c_str(), &original) == 0;
  TempFile temp;
  // Why the temporary file cannot be made, if it cannot. The content is
  // written all the same (to nowhere), so that an error the content itself
  // raises comes first, as it would if the file could be saved.
  const std::string unprepared = [&]() -> std::string {
    if (path.empty()) return messages::NoFileGiven();
    if (exists && S_ISDIR(original.st_mode)) return SystemErrorText(EISDIR);
    if (exists && !S_ISREG(original.st_mode)) return messages::NotARegularFile();
    // A file the user made read-only is not replaced, even though its folder would allow it.
    if (exists && access(target.c_str(), W_OK) != 0) return SystemErrorText(errno);
    std::string pattern = ParentFolder(target) + "/" + TemporaryPrefix(BaseName(target)) + "XXXXXX";
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return SystemErrorText(errno);
    temp.path = pattern;
    temp.fd.Reset(fd);
    temp.lock.Reset(dup(fd));
    if (temp.lock.get() < 0 || flock(temp.lock.get(), LOCK_EX | LOCK_NB) != 0) {
      return SystemErrorText(errno);
    }
    return "";
  }();

  std::string unwritten = write(unprepared.empty() ? temp.fd.get() : -1);
  if (!unprepared.empty()) FailSave(path, unprepared);
  if (!unwritten.empty()) FailSave(path, unwritten);
  mode_t mode = exists ? (original.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (exists) {
    // Only root may give the file away; anyone else keeps the file as their own.
    (void)!fchown(temp.fd.get(), original.st_uid, original.st_gid);
  }
  if (fchmod(temp.fd.get(), mode) != 0) FailSave(path, SystemErrorText(errno));
  if (fsync(temp.fd.get()) != 0) FailSave(path, SystemErrorText(errno));
  if (int error = temp.fd.Close()) FailSave(path, SystemErrorText(error));

  std::string rejected = check(temp.path);
  if (!rejected.empty()) FailSave(path, rejected);

  if (rename(temp.path.c_str(), target.c_str()) != 0) FailSave(path, SystemErrorText(errno));
  temp.committed = true;

  // Make the rename itself durable. The new file is already in place, so a
  // folder that cannot be flushed does not undo the save.
  FileDescriptor folder(open(ParentFolder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());

  RemoveAbandonedTemporaries(ParentFolder(target), BaseName(target));
}

}  // namespace pontexa::exchange
