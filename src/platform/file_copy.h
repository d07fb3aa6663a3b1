#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace pontexa {

// A file's size and SHA-256 (64 lower-case hexadecimal digits).
struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;
  bool operator==(const FileDigest&) const = default;
};

// Copies `from` to the new file `to` (which must not exist), flushed to disk,
// and returns the digest of the bytes copied. Raises Error "No se puede leer
// '<from>': ..." or "No se puede escribir '<to>': ..." and removes what it
// wrote of `to`.
FileDigest CopyFileWithDigest(const std::filesystem::path& from, const std::filesystem::path& to);

// The same copy, made as a second name of the file (a hard link, following a
// symbolic link) when both are on one file system, which writes no data; a copy
// as above otherwise. Only for a file that is never written in place again,
// such as the exchange file, which every save replaces by renaming a new file
// over it: the old file, and so the copy, stays as it was.
FileDigest LinkOrCopyFileWithDigest(const std::filesystem::path& from,
                                    const std::filesystem::path& to);

// The digest of a file; raises Error "No se puede leer '<path>': ...".
FileDigest DigestOfFile(const std::filesystem::path& path);

// Writes `text` to the new file `path`, flushed to disk; Error naming it.
void WriteNewFile(const std::filesystem::path& path, const std::string& text);

// Flushes a folder's entries (new, renamed and removed names) to disk; a folder
// that cannot be flushed is left as it is.
void SyncFolder(const std::filesystem::path& folder);

}  // namespace pontexa
