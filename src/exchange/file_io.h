#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "exchange/checksum.h"
#include "platform/env.h"

namespace pontexa::exchange {

// Reads the whole file at path into bytes. Returns "" on success, else why the
// file cannot be read, in Spanish: missing, a folder, unreadable, too large.
std::string ReadWholeFile(const std::string& path, std::string& bytes);

// Replaces the file at path (or creates it) with bytes so that it is either
// wholly the old file or wholly the new one: the bytes go to a temporary file in
// the same folder, which is flushed to disk, read back and handed to check (which
// raises Error when the content is not acceptable), then renamed over path. An
// existing file's permissions and owner are kept; a symbolic link is followed and
// its target replaced. On failure raises Error "No se puede guardar el archivo
// '<path>': <why>", leaves the original untouched and removes the temporary file.
// After a successful save, the temporary files that earlier saves of the same
// file left behind when their process was killed are removed too.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<std::string(std::string_view written)>& check);

// The same replacement for content produced piece by piece, so that it is never
// held whole in memory: `write` is handed the temporary file's open descriptor
// and returns "" once it has written everything, else why not (it is called
// even when the temporary file cannot be made, with -1, so that an error it
// raises comes before the save's own); `check` is handed
// the temporary file's path once it has been flushed to disk and closed, and
// returns "" when the content there is acceptable, else why not. Either reason
// fails the save as above.
void WriteFileAtomically(const std::string& path, const std::function<std::string(File* file)>& write,
                         const std::function<std::string(const std::string& written)>& check);

// Hands the file's bytes to consume in blocks of up to BlockWriter::kBlockSize, in
// order, until the file ends or consume returns false. Returns "" then, else why
// the file cannot be read, in Spanish, as ReadWholeFile.
std::string ReadFileInBlocks(const std::string& path,
                             const std::function<bool(std::string_view block)>& consume);

// Gathers bytes handed over in small pieces and writes them to a file in
// large blocks. After a failed write it takes nothing more.
// Every few megabytes it asks the system to start writing what it has to disk,
// so that the flush at the end of a large save has little left to wait for.
class BlockWriter {
 public:
  static constexpr std::size_t kBlockSize = 1 << 16;

  explicit BlockWriter(File* file);  // null: nothing is written
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // False once a write has failed.
  bool Append(std::string_view bytes);
  // Writes what is still gathered. Returns "" when every byte reached the file,
  // else why not, in Spanish ("No queda espacio en el disco").
  std::string Finish();
  // How many bytes were handed over.
  std::size_t Written() const { return handed_; }
  // The checksum of the bytes handed over.
  const Checksum& checksum() const { return checksum_; }

 private:
  void Write(std::string_view bytes);

  File* file_;
  std::string buffer_;
  std::size_t handed_ = 0;
  std::size_t written_ = 0;
  std::size_t sent_to_disk_ = 0;
  Checksum checksum_;
  Status error_;
};

}  // namespace pontexa::exchange
