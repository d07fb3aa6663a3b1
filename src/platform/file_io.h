#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/checksum.h"
#include "platform/env.h"

namespace pontexa {

// Reading and replacing whole files through the current Env. The reading
// functions say why a file cannot be read through a Status, whose text the
// caller puts after the file's name as the user knows it; the replacing
// functions raise Error with the whole message.

// Reads the whole file at path into `*bytes`. On failure `*bytes` is empty and
// the Status says why: missing, a folder, unreadable, not a regular file, no
// file given at all, or more than `most` bytes (the small records kept beside
// the tables are refused rather than read whole when something large has
// taken their place, or grows while read).
Status ReadWholeFile(const std::string& path, std::string* bytes, std::uint64_t most = UINT64_MAX);

// Opens an existing regular file for reading from its start; `info` gets what
// the system says of it. Fails as ReadWholeFile.
Status OpenForReading(const std::string& path, std::unique_ptr<File>& file, FileInfo& info);

// Hands the file's bytes to consume in blocks of up to BlockWriter::kBlockSize,
// in order, until the file ends or consume returns false. Fails as ReadWholeFile.
Status ReadFileInBlocks(const std::string& path,
                        const std::function<bool(std::string_view block)>& consume);

// Replaces the file at path (or creates it) with bytes so that it is either
// wholly the old file or wholly the new one: the bytes go to a temporary file in
// the same folder, which is flushed to disk, read back and handed to check
// (which says why the content is not acceptable, if it is not), then renamed
// over path. An existing file's permissions and owner are kept; a symbolic link
// is followed and its target replaced. On failure raises Error "No se puede
// guardar el archivo '<path>': <why>", leaves the original untouched and
// removes the temporary file. After a successful save, the temporary files that
// earlier saves of the same file left behind when their process was killed are
// removed too.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<Status(std::string_view written)>& check);

// The same replacement for content produced piece by piece, so that it is never
// held whole in memory: `write` is handed the temporary file and says whether
// it wrote everything (it is called even when the temporary file cannot be
// made, with null, so that an Error it raises comes before the save's own);
// `check` is handed the temporary file's path once it has been flushed to disk
// and closed, and says whether the content there is acceptable. A failure of
// either fails the save as above, its text as <why>; an Error either raises
// goes through unchanged.
void WriteFileAtomically(const std::string& path, const std::function<Status(File* file)>& write,
                         const std::function<Status(const std::string& written)>& check);

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
  // Writes what is still gathered. Fails, as the write that failed did ("No
  // queda espacio en el disco"), unless every byte reached the file.
  Status Finish();
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

}  // namespace pontexa
