#pragma once

#include <functional>
#include <string>
#include <string_view>

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

}  // namespace pontexa::exchange
