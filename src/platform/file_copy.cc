#include "platform/file_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/error.h"
#include "platform/file_descriptor.h"
#include "platform/sha256.h"
#include "platform/system_error_text.h"

namespace pontexa {
namespace {

constexpr std::size_t kChunk = 1 << 16;

// A file descriptor closed when the object goes.

int Open(const std::filesystem::path& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

[[noreturn]] void CannotRead(const std::filesystem::path& path, int error_number) {
  throw Error("No se puede leer '" + path.string() + "': " + SystemErrorText(error_number));
}

[[noreturn]] void CannotWrite(const std::filesystem::path& path, int error_number) {
  throw Error("No se puede escribir '" + path.string() + "': " + SystemErrorText(error_number));
}

// 0, or the system error number.
int WriteAll(int fd, const char* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, bytes + done, size - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

// Reads the file in chunks, handing each to `consume`; returns its digest.
template <typename Consume>
FileDigest ReadWithDigest(const std::filesystem::path& path, Consume consume) {
  FileDescriptor in(Open(path, O_RDONLY));
  if (in.get() < 0) CannotRead(path, errno);
  Sha256 hash;
  FileDigest digest;
  std::vector<char> chunk(kChunk);
  for (;;) {
    const ssize_t got = ::read(in.get(), chunk.data(), chunk.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      CannotRead(path, errno);
    }
    if (got == 0) break;
    const std::string_view piece(chunk.data(), static_cast<std::size_t>(got));
    hash.Update(piece);
    digest.size += piece.size();
    consume(piece);
  }
  digest.sha256 = hash.HexDigest();
  return digest;
}

// Removes the new file unless it was completed.
class NewFile {
 public:
  explicit NewFile(const std::filesystem::path& path)
      : path_(path), out_(Open(path, O_WRONLY | O_CREAT | O_EXCL)) {
    if (out_.get() < 0) CannotWrite(path, errno);
  }
  ~NewFile() {
    if (!done_) {
      if (out_.get() >= 0) out_.Close();
      ::unlink(path_.c_str());
    }
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  void Write(std::string_view bytes) {
    if (int error = WriteAll(out_.get(), bytes.data(), bytes.size())) CannotWrite(path_, error);
  }
  void Finish() {
    if (::fsync(out_.get()) != 0) CannotWrite(path_, errno);
    if (int error = out_.Close()) CannotWrite(path_, error);
    done_ = true;
  }

 private:
  std::filesystem::path path_;
  FileDescriptor out_;
  bool done_ = false;
};

}  // namespace

FileDigest CopyFileWithDigest(const std::filesystem::path& from, const std::filesystem::path& to) {
  // The source is opened first, so a missing source leaves no empty copy.
  FileDescriptor probe(Open(from, O_RDONLY));
  if (probe.get() < 0) CannotRead(from, errno);
  NewFile out(to);
  const FileDigest digest =
      ReadWithDigest(from, [&out](std::string_view piece) { out.Write(piece); });
  out.Finish();
  return digest;
}

FileDigest LinkOrCopyFileWithDigest(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return CopyFileWithDigest(from, to);
  }
  try {
    return DigestOfFile(to);
  } catch (...) {
    ::unlink(to.c_str());
    throw;
  }
}

FileDigest DigestOfFile(const std::filesystem::path& path) {
  return ReadWithDigest(path, [](std::string_view) {});
}

void WriteNewFile(const std::filesystem::path& path, const std::string& text) {
  NewFile out(path);
  out.Write(text);
  out.Finish();
}

void SyncFolder(const std::filesystem::path& folder) {
  FileDescriptor fd(Open(folder, O_RDONLY | O_DIRECTORY));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace pontexa
