#include "platform/file_copy.h"

#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/messages.h"
#include "platform/sha256.h"

namespace pontexa {
namespace {

constexpr std::size_t kChunk = 1 << 16;

[[noreturn]] void CannotRead(const std::filesystem::path& path, const Status& why) {
  throw Error(messages::CannotRead(path, why.text()));
}

[[noreturn]] void CannotWrite(const std::filesystem::path& path, const Status& why) {
  throw Error(messages::CannotWrite(path, why.text()));
}

std::unique_ptr<File> OpenForReading(const std::filesystem::path& path) {
  std::unique_ptr<File> file;
  if (Status status =
          Env::Current().Open(path, {.mode = OpenMode::kRead, .regular_only = true}, &file);
      !status) {
    CannotRead(path, status);
  }
  return file;
}

// Reads the file in chunks, handing each to `consume`; returns its digest.
template <typename Consume>
FileDigest ReadWithDigest(const std::filesystem::path& path, File& in, Consume consume) {
  Sha256 hash;
  FileDigest digest;
  std::vector<char> chunk(kChunk);
  for (;;) {
    std::size_t got = 0;
    if (Status status = in.Read(chunk.data(), chunk.size(), &got); !status) {
      CannotRead(path, status);
    }
    if (got == 0) break;
    const std::string_view piece(chunk.data(), got);
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
  explicit NewFile(const std::filesystem::path& path) : path_(path) {
    if (Status status =
            Env::Current().Open(path, {.mode = OpenMode::kCreateNew, .regular_only = true}, &out_);
        !status) {
      CannotWrite(path, status);
    }
  }
  ~NewFile() {
    if (!done_) {
      out_.reset();
      Env::Current().Remove(path_);
    }
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  void Write(std::string_view bytes) {
    if (Status status = out_->Append(bytes); !status) CannotWrite(path_, status);
  }
  void Finish() {
    if (Status status = out_->Sync(); !status) CannotWrite(path_, status);
    if (Status status = out_->Close(); !status) CannotWrite(path_, status);
    done_ = true;
  }

 private:
  std::filesystem::path path_;
  std::unique_ptr<File> out_;
  bool done_ = false;
};

}  // namespace

FileDigest CopyFileWithDigest(const std::filesystem::path& from, const std::filesystem::path& to) {
  // The source is opened first, so a missing source leaves no empty copy.
  const std::unique_ptr<File> in = OpenForReading(from);
  NewFile out(to);
  const FileDigest digest =
      ReadWithDigest(from, *in, [&out](std::string_view piece) { out.Write(piece); });
  out.Finish();
  return digest;
}

FileDigest LinkOrCopyFileWithDigest(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  if (!Env::Current().Link(from, to).ok()) return CopyFileWithDigest(from, to);
  try {
    return DigestOfFile(to);
  } catch (...) {
    Env::Current().Remove(to);
    throw;
  }
}

FileDigest DigestOfFile(const std::filesystem::path& path) {
  const std::unique_ptr<File> in = OpenForReading(path);
  return ReadWithDigest(path, *in, [](std::string_view) {});
}

void WriteNewFile(const std::filesystem::path& path, const std::string& text) {
  NewFile out(path);
  out.Write(text);
  out.Finish();
}

void SyncFolder(const std::filesystem::path& folder) { Env::Current().SyncFolder(folder); }

}  // namespace pontexa
