#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regional_settings.h"

namespace pontexa {

// Everything the system asks of the operating system goes through Env: files,
// folders, locks, the processes that hold a file, the clock, the user's home
// folder and regional settings. platform/posix/ answers for Linux; tests put a
// fault-injecting Env in its place (see ScopedEnv). Only platform/ includes the
// system's own headers.

// Why an operation failed. The operation's caller, which knows what it was
// doing and to which file, turns it into the Spanish message the user reads;
// text() gives the reason's own words ("No queda espacio en el disco").
class Status {
 public:
  enum class Code {
    kOk,
    kNotFound,          // no such file or folder
    kExists,            // the name is taken
    kIsFolder,          // a folder where a file was expected
    kNotFolder,         // part of the path is not a folder
    kPermissionDenied,  // the user may not do it
    kReadOnly,          // the file system cannot be written
    kNoSpace,           // the disk or the user's quota is full
    kLocked,            // another open file holds a conflicting lock
    kNotRegular,        // a named pipe, a device or a socket where a file was expected
    kOther,             // anything else; text() says what
  };

  Status() = default;  // success
  Status(Code code, std::string text) : code_(code), text_(std::move(text)) {}
  // A failure with the usual words for its code.
  static Status Of(Code code);

  bool ok() const { return code_ == Code::kOk; }
  explicit operator bool() const { return ok(); }
  Code code() const { return code_; }
  // The reason in Spanish, "" on success.
  const std::string& text() const { return text_; }
  // Whether a retry with less access could succeed: the file may still be read.
  bool IsAccessProblem() const {
    return code_ == Code::kPermissionDenied || code_ == Code::kReadOnly;
  }

 private:
  Code code_ = Code::kOk;
  std::string text_;
};

// A process of the machine, as the system numbers it; 0 when unknown.
using ProcessId = int;

// What a file is, as far as the system tells.
struct FileInfo {
  enum class Kind { kRegular, kFolder, kLink, kOther };
  Kind kind = Kind::kOther;
  std::uint64_t size = 0;
  // Two names reach the same file when their device and inode agree.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // Permission bits and owner, kept when a file is replaced by a new one.
  std::uint32_t permissions = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  // How many names the file has (hard links); 1 for most files.
  std::uint64_t links = 1;

  bool IsRegular() const { return kind == Kind::kRegular; }
  bool IsFolder() const { return kind == Kind::kFolder; }
  bool SameFileAs(const FileInfo& other) const {
    return device == other.device && inode == other.inode;
  }
};

enum class HoldKind { kShared, kExclusive };

// How a file is opened.
enum class OpenMode {
  kRead,             // an existing file, for reading
  kReadWrite,        // an existing file, for reading and writing
  kReadWriteCreate,  // for reading and writing, created empty when missing
  kCreateNew,        // a new file for writing; kExists when the name is taken
  kReplace,          // for writing, created or emptied; a symbolic link is not followed
  kOverwrite,        // for writing, created or emptied, a symbolic link followed: for a
                     // path the user names, such as /dev/stdout
};

// How a file is opened to hold a claim on it (see Env::OpenLocked).
struct LockRequest {
  HoldKind kind = HoldKind::kExclusive;
  bool create = false;       // created empty when missing; a final symbolic link is refused
  bool follow_link = false;  // a final symbolic link is followed (never with `create`)
};

struct OpenOptions {
  OpenMode mode = OpenMode::kRead;
  // Return at once instead of waiting on something that is not a plain file,
  // such as a named pipe called like a table.
  bool no_wait = false;
  // Accept only a regular file: opened without waiting, then anything else (a
  // named pipe, a device, a folder) is closed again and refused with kIsFolder
  // or kNotRegular. For every file of the table folder, the copies and the
  // trial space, where nothing but plain files belongs.
  bool regular_only = false;
};

// An open file. Every operation that can fail says so through its Status;
// none raises. Closing the last handle of a file releases its locks.
class File {
 public:
  virtual ~File() = default;
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Reads up to `size` bytes at `offset` into `buffer`; `*read` gets how many
  // (fewer only at the end of the file).
  virtual Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                        std::size_t* read) = 0;
  // Reads the next bytes from where the last read ended, as ReadAt.
  virtual Status Read(char* buffer, std::size_t size, std::size_t* read) = 0;
  // Writes all the bytes at `offset`; `written`, when given, receives how many
  // of them, from the first, reached the file (all of them on success).
  virtual Status WriteAt(std::uint64_t offset, std::string_view bytes,
                         std::size_t* written = nullptr) = 0;
  // Writes all the bytes after the last ones written.
  virtual Status Append(std::string_view bytes) = 0;
  // Cuts or extends the file to `size` bytes.
  virtual Status Truncate(std::uint64_t size) = 0;
  // Asks the system to start writing a range to disk, without waiting for
  // it; a large save then has little left to wait for at its Sync.
  virtual void StartWriteBack(std::uint64_t offset, std::uint64_t length) = 0;
  // Waits until everything written is on disk.
  virtual Status Sync() = 0;
  virtual Status Info(FileInfo* info) = 0;
  // Gives the file the permissions and, where the system allows, the owner and
  // group of `original` (the group alone when only that is allowed); without
  // it, the permissions a newly created file gets.
  virtual Status TakeAccessOf(const FileInfo* original) = 0;
  // Closes the file; a failure here can mean written bytes were lost.
  virtual Status Close() = 0;

  // Holds the file against every other open file, without waiting: programs
  // asking for any kind of lock are then refused (all of them for an
  // exclusive hold, writers for a shared one; a file open for reading only
  // keeps writers out). False, holding nothing, when another open file holds a
  // conflicting lock; a file system that cannot lock gives true.
  virtual bool TryHold(HoldKind kind) = 0;
  // Whether another open file holds a lock of any kind on any part of the
  // file; with the process holding it when the system names one (0 when it
  // does not). The locks this handle holds do not count.
  virtual std::optional<ProcessId> LockedElsewhere() = 0;
};

// The regular files other processes have open, gathered once when first asked
// and kept: a run asks about every table it touches. This process never
// counts, and processes this user may not inspect are not seen.
class OpenFileScan {
 public:
  virtual ~OpenFileScan() = default;
  // A process holding or using a file, with its program name ("" when unknown).
  struct Holder {
    ProcessId process = 0;
    std::string program;
  };
  // Another process that has the file open, if any.
  virtual std::optional<Holder> HolderOf(const FileInfo& file) const = 0;
  // The program name of a process known by its number.
  virtual Holder Describe(ProcessId process) const = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // The environment in use: the operating system's own, or the one a
  // ScopedEnv has put in its place.
  static Env& Current();
  // The operating system's own.
  static Env& System();

  // --- Files
  virtual Status Open(const std::filesystem::path& path, OpenOptions options,
                      std::unique_ptr<File>* file) = 0;
  // Creates a new file in `folder` named `prefix` and six random letters or
  // digits, open for writing; `*path` gets its name.
  virtual Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                                 std::unique_ptr<File>* file, std::filesystem::path* path) = 0;
  // What the file at `path` is; a symbolic link is followed.
  virtual Status Info(const std::filesystem::path& path, FileInfo* info) = 0;
  // The same without following a final symbolic link.
  virtual Status LinkInfo(const std::filesystem::path& path, FileInfo* info) = 0;
  // The path with every symbolic link resolved.
  virtual Status Resolve(const std::filesystem::path& path, std::filesystem::path* resolved) = 0;
  // Whether this user may write the existing file (its folder aside).
  virtual Status CheckWritable(const std::filesystem::path& path) = 0;
  // Gives `from` a second name `to` (a hard link), following a symbolic link.
  virtual Status Link(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Renames `from` to `to`, replacing `to` if it exists, in one step.
  virtual Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Removes a file (or a symbolic link, not what it names).
  virtual Status Remove(const std::filesystem::path& path) = 0;

  // Opens the regular file at `path` without waiting and takes a record lock
  // (fcntl, on the open file description) over the whole of it: a write lock
  // for kExclusive, a read lock for kShared. Such locks reach across network
  // shares and go when the file is closed or its process ends, however it
  // ends. kLocked when another open file holds a conflicting lock; kOther with
  // NotARegularFile's words when `path` is a pipe, device, folder or a link
  // not to be followed. A file system that cannot lock gives the file
  // unlocked. The lock lasts while *file stays open.
  virtual Status OpenLocked(const std::filesystem::path& path, LockRequest request,
                            std::unique_ptr<File>* file) = 0;

  // --- Folders
  virtual Status MakeFolder(const std::filesystem::path& path) = 0;
  // Removes a folder and everything in it.
  virtual Status RemoveTree(const std::filesystem::path& path) = 0;
  // Removes a folder only when it is empty; fails, changing nothing, otherwise.
  virtual Status RemoveEmptyFolder(const std::filesystem::path& path) = 0;
  // Creates a new folder of this user's own under the system's temporary
  // folder, named `prefix` and six random letters or digits; `*path` gets it.
  virtual Status MakeTemporaryFolder(std::string_view prefix, std::filesystem::path* path) = 0;
  // The names in a folder, "." and ".." left out, in no particular order.
  virtual Status List(const std::filesystem::path& folder, std::vector<std::string>* names) = 0;
  // Writes a folder's entries (new, renamed and removed names) to disk.
  virtual Status SyncFolder(const std::filesystem::path& folder) = 0;

  // --- Processes
  virtual std::unique_ptr<OpenFileScan> NewOpenFileScan() = 0;
  virtual ProcessId ThisProcess() = 0;
  // The name of this machine on the network, "" when the system gives none.
  virtual std::string HostName() = 0;

  // --- The clock, the user and the regional settings
  virtual std::time_t Now() = 0;
  // `when` in the machine's local time.
  virtual std::tm LocalTime(std::time_t when) = 0;
  // An environment variable, "" when unset.
  virtual std::string Variable(const std::string& name) = 0;
  // The user's home folder: HOME, else the user database's entry.
  virtual std::filesystem::path HomeFolder() = 0;
  // The decimal separator of the user's locale.
  virtual RegionalSettings Regional() = 0;
};

// Makes `env` the current Env while it lives; for tests and the trial run,
// which are single threaded. Scopes nest.
class ScopedEnv {
 public:
  explicit ScopedEnv(Env& env);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* previous_;
};

// An Env that hands every call to another; fault-injecting Envs derive from it
// and override only what they change.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}
  Env& target() { return target_; }

  Status Open(const std::filesystem::path& path, OpenOptions options,
              std::unique_ptr<File>* file) override {
    return target_.Open(path, options, file);
  }
  Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                         std::unique_ptr<File>* file, std::filesystem::path* path) override {
    return target_.CreateTemporary(folder, prefix, file, path);
  }
  Status Info(const std::filesystem::path& path, FileInfo* info) override {
    return target_.Info(path, info);
  }
  Status LinkInfo(const std::filesystem::path& path, FileInfo* info) override {
    return target_.LinkInfo(path, info);
  }
  Status Resolve(const std::filesystem::path& path, std::filesystem::path* resolved) override {
    return target_.Resolve(path, resolved);
  }
  Status CheckWritable(const std::filesystem::path& path) override {
    return target_.CheckWritable(path);
  }
  Status Link(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return target_.Link(from, to);
  }
  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return target_.Rename(from, to);
  }
  Status Remove(const std::filesystem::path& path) override { return target_.Remove(path); }
  Status OpenLocked(const std::filesystem::path& path, LockRequest request,
                    std::unique_ptr<File>* file) override {
    return target_.OpenLocked(path, request, file);
  }
  Status MakeFolder(const std::filesystem::path& path) override { return target_.MakeFolder(path); }
  Status RemoveTree(const std::filesystem::path& path) override { return target_.RemoveTree(path); }
  Status RemoveEmptyFolder(const std::filesystem::path& path) override {
    return target_.RemoveEmptyFolder(path);
  }
  Status MakeTemporaryFolder(std::string_view prefix, std::filesystem::path* path) override {
    return target_.MakeTemporaryFolder(prefix, path);
  }
  Status List(const std::filesystem::path& folder, std::vector<std::string>* names) override {
    return target_.List(folder, names);
  }
  Status SyncFolder(const std::filesystem::path& folder) override {
    return target_.SyncFolder(folder);
  }
  std::unique_ptr<OpenFileScan> NewOpenFileScan() override { return target_.NewOpenFileScan(); }
  ProcessId ThisProcess() override { return target_.ThisProcess(); }
  std::string HostName() override { return target_.HostName(); }
  std::time_t Now() override { return target_.Now(); }
  std::tm LocalTime(std::time_t when) override { return target_.LocalTime(when); }
  std::string Variable(const std::string& name) override { return target_.Variable(name); }
  std::filesystem::path HomeFolder() override { return target_.HomeFolder(); }
  RegionalSettings Regional() override { return target_.Regional(); }

 private:
  Env& target_;
};

// Helpers built on the current Env.

// Whether `path` names an existing regular file (a link to one included).
bool IsExistingFile(const std::filesystem::path& path);
// Whether anything, even a dangling symbolic link, has the name `path`.
bool NameExists(const std::filesystem::path& path);

}  // namespace pontexa
