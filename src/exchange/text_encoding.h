#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace pontexa::exchange {

// How a file's characters are laid out in its bytes, as far as finding its
// markup goes.
enum class CharacterLayout {
  kAsciiBytes,  // every ASCII byte is that ASCII character: UTF-8, ISO-8859-*, windows-125*...
  kUtf16Le,
  kUtf16Be,
  kOther,  // anything else (UCS-4, Shift_JIS, EBCDIC...): decoded character by character
};

struct FileEncoding {
  CharacterLayout layout = CharacterLayout::kAsciiBytes;
  // The encoding's name as libxml2 and DecodeCharacters know it; "UTF-8" for UTF-8.
  std::string name = "UTF-8";
};

// The encoding of a file the parser accepted, from its first bytes (byte-order
// mark, or the way "<?" is written) and the encoding its XML declaration names
// ("" when none).
FileEncoding DetectFileEncoding(std::string_view bytes, const std::string& declared);

// Whether the encoding keeps a state from one character to the next: UTF-7,
// the ISO-2022 family, HZ, the EBCDIC code pages that shift in and out of
// double-byte characters. In such an encoding the bytes of a character depend
// on what came before it, so text put into the middle of a file cannot leave
// the file's own bytes around it as they were. Told by the name, and for any
// other encoding by writing a few characters one at a time and all at once:
// a stateless encoding gives the same bytes both ways.
bool IsStatefulEncoding(const FileEncoding& encoding);

// Writes UTF-8 text to a BlockWriter in a file's encoding; a character the
// encoding cannot hold becomes a character reference ("&#8364;"), as libxml2
// writes it. Nothing else is added: no byte-order mark, no declaration. A
// character may be split across two calls of Write.
class TextEncoder {
 public:
  // Raises Error when the encoding cannot be written.
  TextEncoder(const FileEncoding& encoding, BlockWriter& out);
  ~TextEncoder();
  TextEncoder(const TextEncoder&) = delete;
  TextEncoder& operator=(const TextEncoder&) = delete;

  void Write(std::string_view utf8);
  // Everything written so far is handed to the BlockWriter. Fails when any of
  // the text could not be converted, or a character was left unfinished.
  Status Flush();

 private:
  struct Converter;
  const FileEncoding encoding_;
  BlockWriter& out_;
  std::unique_ptr<Converter> converter_;
  std::string scratch_;
  // The first bytes of a UTF-8 sequence whose last ones have not come yet
  // (UTF-16, which is written here rather than by the converter).
  std::string partial_;
};

}  // namespace pontexa::exchange
