// The Env of Linux and other POSIX systems.

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <langinfo.h>
#include <limits.h>
#include <locale.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/env.h"
#include "platform/messages.h"
#include "platform/posix/file_descriptor.h"
#include "platform/posix/file_locks.h"
#include "platform/posix/posix_status.h"
#include "platform/posix/proc_open_files.h"

namespace pontexa {
namespace posix {
namespace {

FileInfo InfoOf(const struct stat& status) {
  FileInfo info;
  info.kind = S_ISREG(status.st_mode)   ? FileInfo::Kind::kRegular
              : S_ISDIR(status.st_mode) ? FileInfo::Kind::kFolder
              : S_ISLNK(status.st_mode) ? FileInfo::Kind::kLink
                                        : FileInfo::Kind::kOther;
  info.size = static_cast<std::uint64_t>(status.st_size);
  info.device = static_cast<std::uint64_t>(status.st_dev);
  info.inode = static_cast<std::uint64_t>(status.st_ino);
  info.permissions = static_cast<std::uint32_t>(status.st_mode & 07777);
  info.owner = static_cast<std::uint32_t>(status.st_uid);
  info.group = static_cast<std::uint32_t>(status.st_gid);
  info.links = static_cast<std::uint64_t>(status.st_nlink);
  return info;
}

int OpenFlags(OpenOptions options) {
  int flags = O_CLOEXEC;
  switch (options.mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::kReadWriteCreate:
      flags |= O_RDWR | O_CREAT;
      break;
    case OpenMode::kCreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
    case OpenMode::kReplace:
      flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
      break;
    case OpenMode::kOverwrite:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
  }
  if (options.no_wait || options.regular_only) flags |= O_NONBLOCK;
  if (options.regular_only) flags |= O_NOCTTY;
  return flags;
}

mode_t CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// Reads until `size` bytes have come or the file ends, going on after short
// and interrupted reads; `read_some(to, left, done)` is one system read.
template <typename ReadSome>
Status ReadFully(char* buffer, std::size_t size, std::size_t* read, ReadSome read_some) {
  std::size_t done = 0;
  Status status;
  while (done < size) {
    const ssize_t got = read_some(buffer + done, size - done, done);
    if (got < 0) {
      if (errno == EINTR) continue;
      status = LastError();
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  *read = done;
  return status;
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}

  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read) override {
    return ReadFully(buffer, size, read, [&](char* to, std::size_t left, std::size_t done) {
      return pread(fd_.get(), to, left, static_cast<off_t>(offset + done));
    });
  }

  Status Read(char* buffer, std::size_t size, std::size_t* read) override {
    return ReadFully(buffer, size, read, [&](char* to, std::size_t left, std::size_t) {
      return ::read(fd_.get(), to, left);
    });
  }

  Status WriteAt(std::uint64_t offset, std::string_view bytes, std::size_t* written) override {
    std::size_t done = 0;
    Status status;
    while (done < bytes.size()) {
      const ssize_t put = pwrite(fd_.get(), bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(offset + done));
      if (put < 0) {
        if (errno == EINTR) continue;
        status = LastError();
        break;
      }
      done += static_cast<std::size_t>(put);
    }
    if (written != nullptr) *written = done;
    return status;
  }

  Status Append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t put = ::write(fd_.get(), bytes.data(), bytes.size());
      if (put < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return Status();
  }

  Status Truncate(std::uint64_t size) override {
    while (ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return LastError();
    }
    return Status();
  }

  void StartWriteBack(std::uint64_t offset, std::uint64_t length) override {
    sync_file_range(fd_.get(), static_cast<off_t>(offset), static_cast<off_t>(length),
                    SYNC_FILE_RANGE_WRITE);
  }

  Status Sync() override { return fsync(fd_.get()) == 0 ? Status() : LastError(); }

  Status Info(FileInfo* info) override {
    struct stat status;
    if (fstat(fd_.get(), &status) != 0) return LastError();
    *info = InfoOf(status);
    return Status();
  }

  Status TakeAccessOf(const FileInfo* original) override {
    mode_t mode = 0666 & ~CurrentUmask();
    if (original != nullptr) {
      // Only root may give a file away; anyone else keeps the file as their
      // own, but may still give it the original's group when they belong to it.
      if (fchown(fd_.get(), original->owner, original->group) != 0) {
        (void)!fchown(fd_.get(), static_cast<uid_t>(-1), original->group);
      }
      mode = static_cast<mode_t>(original->permissions);
    }
    return fchmod(fd_.get(), mode) == 0 ? Status() : LastError();
  }

  Status Close() override {
    holds_flock_ = false;
    return StatusOf(fd_.Close());
  }

  bool TryHold(HoldKind kind) override {
    if (!TryHoldFile(fd_.get(), kind)) return false;
    holds_flock_ = true;
    return true;
  }

  std::optional<ProcessId> LockedElsewhere() override {
    if (const std::optional<pid_t> holder = RecordLockHolder(fd_.get())) return *holder;
    // An flock probe takes and drops one: only a handle without its own may ask.
    if (!holds_flock_ && FlockHeldElsewhere(fd_.get())) return 0;
    return std::nullopt;
  }

 private:
  FileDescriptor fd_;
  bool holds_flock_ = false;
};

class PosixEnv : public Env {
 public:
  Status Open(const std::filesystem::path& path, OpenOptions options,
              std::unique_ptr<File>* file) override {
    int fd;
    do {
      fd = ::open(path.c_str(), OpenFlags(options), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return LastError();
    auto opened = std::make_unique<PosixFile>(fd);
    if (options.regular_only) {
      struct stat status;
      if (fstat(fd, &status) != 0) return LastError();
      if (S_ISDIR(status.st_mode)) return Status::Of(Status::Code::kIsFolder);
      if (!S_ISREG(status.st_mode)) return Status::Of(Status::Code::kNotRegular);
      // Reads and writes of a regular file never wait anyway; the flag goes so
      // that the file behaves as one opened the usual way.
      if (!options.no_wait) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    *file = std::move(opened);
    return Status();
  }

  Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                         std::unique_ptr<File>* file, std::filesystem::path* path) override {
    std::string pattern = (folder / prefix).string() + "XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return LastError();
    *file = std::make_unique<PosixFile>(fd);
    *path = pattern;
    return Status();
  }

  Status Info(const std::filesystem::path& path, FileInfo* info) override {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return LastError();
    *info = InfoOf(status);
    return Status();
  }

  Status LinkInfo(const std::filesystem::path& path, FileInfo* info) override {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) return LastError();
    *info = InfoOf(status);
    return Status();
  }

  Status Resolve(const std::filesystem::path& path, std::filesystem::path* resolved) override {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr) return LastError();
    *resolved = buffer;
    return Status();
  }

  Status CheckWritable(const std::filesystem::path& path) override {
    return access(path.c_str(), W_OK) == 0 ? Status() : LastError();
  }

  Status Link(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? Status()
               : LastError();
  }

  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? Status() : LastError();
  }

  Status Remove(const std::filesystem::path& path) override {
    return ::unlink(path.c_str()) == 0 ? Status() : LastError();
  }

  Status OpenLocked(const std::filesystem::path& path, LockRequest request,
                    std::unique_ptr<File>* file) override {
    int flags = O_CLOEXEC | O_NONBLOCK | O_RDWR;
    if (request.create) flags |= O_CREAT;
    if (request.create || !request.follow_link) flags |= O_NOFOLLOW;
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    // A shared claim makes do with reading, as on a read-only share.
    if (fd < 0 && (errno == EACCES || errno == EROFS) && request.kind == HoldKind::kShared) {
      do {
        fd = ::open(path.c_str(), (flags & ~(O_RDWR | O_CREAT)) | O_RDONLY);
      } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
      // O_NOFOLLOW refuses a link with ELOOP, which says nothing to the user.
      if (errno == ELOOP && !request.follow_link) {
        return Status(Status::Code::kOther, messages::NotARegularFile());
      }
      return LastError();
    }
    auto opened = std::make_unique<PosixFile>(fd);
    FileInfo info;
    if (Status status = opened->Info(&info); !status) return status;
    if (!info.IsRegular()) return Status(Status::Code::kOther, messages::NotARegularFile());
    const bool writable = (fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY;
    struct flock range = {};
    range.l_type = request.kind == HoldKind::kExclusive && writable ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    int result;
    do {
      result = fcntl(fd, F_OFD_SETLK, &range);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && (errno == EAGAIN || errno == EACCES || errno == EWOULDBLOCK)) {
      return Status::Of(Status::Code::kLocked);
    }
    *file = std::move(opened);
    return Status();
  }

  Status MakeFolder(const std::filesystem::path& path) override {
    return ::mkdir(path.c_str(), 0777) == 0 ? Status() : LastError();
  }

  Status RemoveTree(const std::filesystem::path& path) override {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return error ? StatusOf(error.value()) : Status();
  }

  Status RemoveEmptyFolder(const std::filesystem::path& path) override {
    return ::rmdir(path.c_str()) == 0 ? Status() : LastError();
  }

  // Under $TMPDIR, else /tmp, as std::filesystem::temp_directory_path says.
  Status MakeTemporaryFolder(std::string_view prefix, std::filesystem::path* path) override {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return StatusOf(error.value());
    std::string pattern = (temporary / prefix).string() + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return LastError();
    *path = pattern;
    return Status();
  }

  Status List(const std::filesystem::path& folder, std::vector<std::string>* names) override {
    names->clear();
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) return LastError();
    errno = 0;
    while (const dirent* entry = readdir(directory)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names->emplace_back(name);
    }
    const int error_number = errno;
    closedir(directory);
    return StatusOf(error_number);
  }

  Status SyncFolder(const std::filesystem::path& folder) override {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return LastError();
    return fsync(fd.get()) == 0 ? Status() : LastError();
  }

  std::unique_ptr<OpenFileScan> NewOpenFileScan() override {
    return std::make_unique<ProcOpenFileScan>();
  }

  ProcessId ThisProcess() override { return getpid(); }

  std::string HostName() override {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
  }

  std::time_t Now() override { return std::time(nullptr); }

  std::tm LocalTime(std::time_t when) override {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
  }

  std::string Variable(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? "" : value;
  }

  std::filesystem::path HomeFolder() override {
    std::string home = Variable("HOME");
    if (home.empty()) {
      if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        home = entry->pw_dir;
      }
    }
    return home;
  }

  // LC_NUMERIC of the environment (LC_ALL, LC_NUMERIC, LANG), read through a
  // locale object of its own so that the process locale stays as it is.
  RegionalSettings Regional() override {
    RegionalSettings settings;
    settings.decimal_separator = '.';
    locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (numeric != static_cast<locale_t>(0)) {
      const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
      if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') {
        settings.decimal_separator = radix[0];
      }
      freelocale(numeric);
    }
    return settings;
  }
};

}  // namespace
}  // namespace posix

Env& Env::System() {
  static posix::PosixEnv env;
  return env;
}

}  // namespace pontexa
