#include "exchange/text_encoding.h"

#include <libxml/encoding.h>
#include <libxml/globals.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "exchange/messages.h"
#include "exchange/xml_parse.h"
#include "platform/error.h"
#include "platform/file_io.h"

namespace pontexa::exchange {
namespace {

std::string Lower(std::string_view text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Encodings whose ASCII bytes are always ASCII characters and whose other
// characters use only bytes from 0x80: UTF-8 and the single-byte families,
// plus EUC. Multi-byte encodings with ASCII trail bytes (Shift_JIS, Big5, GBK)
// and the 16- and 32-bit ones are not among them.
bool IsAsciiCompatible(const std::string& name) {
  const std::string lower = Lower(name);
  const char* const prefixes[] = {
      "utf-8",    "utf8",  "us-ascii", "ascii",     "iso-8859",  "iso8859",  "iso_8859", "latin",
      "windows-", "cp125", "cp437",    "cp850",     "cp852",     "cp858",    "ibm437",   "ibm850",
      "ibm852",   "koi8",  "euc-",     "macintosh", "mac-roman", "ansi_x3.4"};
  return std::any_of(std::begin(prefixes), std::end(prefixes),
                     [&](const char* prefix) { return lower.starts_with(prefix); });
}

bool IsUtf8Name(const std::string& name) {
  const std::string lower = Lower(name);
  return lower == "utf-8" || lower == "utf8";
}

// The encoding's name in lower case with only its letters and digits:
// "ISO-2022-JP" and "iso2022jp" give the same key.
std::string NameKey(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return key;
}

// Takes, while it lives, what libxml2 reports of a conversion, instead of its
// printing it on the standard error: libxml2 may give up on text it cannot
// convert (not even as a character reference), drop it and go on, and says
// so only there.
class ConversionErrors {
 public:
  ConversionErrors()
      : structured_(xmlStructuredError),
        structured_context_(xmlStructuredErrorContext),
        generic_(xmlGenericError),
        generic_context_(xmlGenericErrorContext) {
    xmlSetStructuredErrorFunc(this, &Structured);
    xmlSetGenericErrorFunc(this, &Generic);
  }
  ~ConversionErrors() {
    xmlSetStructuredErrorFunc(structured_context_, structured_);
    xmlSetGenericErrorFunc(generic_context_, generic_);
  }
  ConversionErrors(const ConversionErrors&) = delete;
  ConversionErrors& operator=(const ConversionErrors&) = delete;

  bool any() const { return any_; }

 private:
  static void Structured(void* self, xmlErrorPtr error) {
    if (error == nullptr || error->level >= XML_ERR_ERROR)
      static_cast<ConversionErrors*>(self)->any_ = true;
  }
  static void Generic(void* self, const char*, ...) {
    static_cast<ConversionErrors*>(self)->any_ = true;
  }

  bool any_ = false;
  xmlStructuredErrorFunc structured_;
  void* structured_context_;
  xmlGenericErrorFunc generic_;
  void* generic_context_;
};

int AppendToString(void* text, const char* buffer, int length) {
  static_cast<std::string*>(text)->append(buffer, static_cast<std::size_t>(length));
  return length;
}

// UTF-8 text in the named encoding, written by a converter of its own as
// TextEncoder writes it; nothing when the encoding cannot be written.
std::optional<std::string> EncodedAlone(const std::string& encoding, std::string_view utf8) {
  const ConversionErrors errors;
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.c_str());
  if (handler == nullptr) return std::nullopt;
  std::string text;
  xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(AppendToString, nullptr, &text, handler);
  if (buffer == nullptr) {
    xmlCharEncCloseFunc(handler);
    return std::nullopt;
  }
  const bool written =
      xmlOutputBufferWrite(buffer, static_cast<int>(utf8.size()), utf8.data()) >= 0;
  // Flushes what is left and closes the converter.
  const bool closed = xmlOutputBufferClose(buffer) >= 0;
  if (!written || !closed || errors.any()) return std::nullopt;
  return text;
}

// Characters from the scripts the stateful encodings shift into (Latin
// letters with accents, Greek, Cyrillic, Hebrew, Arabic, Thai, Han, Hangul,
// kana, the euro sign), each between ASCII letters and twice in a row. One
// the encoding lacks is written as a character reference, which is ASCII.
constexpr const char* kProbeCharacters[] = {
    "\xC3\xA9",     "\xC3\xB1",     "\xCE\xA9",     "\xD0\x96",     "\xD7\x90",     "\xD8\xA7",
    "\xE0\xB8\x81", "\xE6\x97\xA5", "\xE4\xB8\xAD", "\xED\x95\x9C", "\xE3\x81\x82", "\xE2\x82\xAC"};

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

void AppendUtf16(std::string& out, char32_t c, bool big_endian) {
  auto unit = [&](char16_t u) {
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  };
  if (c < 0x10000) {
    unit(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    unit(static_cast<char16_t>(0xD800 + (c >> 10)));
    unit(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// The length of the UTF-8 sequence a byte leads.
std::size_t SequenceLength(char lead) {
  const unsigned char c = static_cast<unsigned char>(lead);
  return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

// The character of one whole UTF-8 sequence.
char32_t CodePoint(std::string_view sequence) {
  const unsigned char lead = static_cast<unsigned char>(sequence[0]);
  char32_t c = sequence.size() == 1   ? lead
               : sequence.size() == 2 ? (lead & 0x1F)
               : sequence.size() == 3 ? (lead & 0x0F)
                                      : (lead & 0x07);
  for (std::size_t k = 1; k < sequence.size(); ++k) {
    c = c << 6 | (static_cast<unsigned char>(sequence[k]) & 0x3F);
  }
  return c;
}

int WriteToBlocks(void* writer, const char* buffer, int length) {
  bool written = static_cast<BlockWriter*>(writer)->Append(
      std::string_view(buffer, static_cast<std::size_t>(length)));
  return written ? length : -1;
}

}  // namespace

FileEncoding DetectFileEncoding(std::string_view bytes, const std::string& declared) {
  using namespace std::string_view_literals;
  if (StartsWith(bytes, "\xFF\xFE\0\0"sv) || StartsWith(bytes, "<\0\0\0"sv)) {
    return {CharacterLayout::kOther, "UCS-4LE"};
  }
  if (StartsWith(bytes, "\0\0\xFE\xFF"sv) || StartsWith(bytes, "\0\0\0<"sv)) {
    return {CharacterLayout::kOther, "UCS-4BE"};
  }
  if (StartsWith(bytes, "\xFF\xFE"sv) || StartsWith(bytes, "<\0?\0"sv)) {
    return {CharacterLayout::kUtf16Le, "UTF-16LE"};
  }
  if (StartsWith(bytes, "\xFE\xFF"sv) || StartsWith(bytes, "\0<\0?"sv)) {
    return {CharacterLayout::kUtf16Be, "UTF-16BE"};
  }
  if (declared.empty() || IsUtf8Name(declared)) {
    return {CharacterLayout::kAsciiBytes, "UTF-8"};
  }
  if (IsAsciiCompatible(declared)) return {CharacterLayout::kAsciiBytes, declared};
  return {CharacterLayout::kOther, declared};
}

bool IsStatefulEncoding(const FileEncoding& encoding) {
  // UTF-8 and UTF-16 are written here, a character at a time.
  if (encoding.layout == CharacterLayout::kUtf16Le ||
      encoding.layout == CharacterLayout::kUtf16Be || IsUtf8Name(encoding.name)) {
    return false;
  }
  const std::string key = NameKey(encoding.name);
  if (key.find("utf7") != std::string::npos || key.find("2022") != std::string::npos ||
      key.starts_with("hz")) {
    return true;
  }
  InitXmlLibrary();
  std::string whole = "a";
  std::string pieces;
  auto add = [&](std::string_view utf8) -> bool {
    const std::optional<std::string> alone = EncodedAlone(encoding.name, utf8);
    if (!alone) return false;
    pieces += *alone;
    return true;
  };
  if (!add("a")) return false;
  for (const char* character : kProbeCharacters) {
    for (std::string_view piece :
         {std::string_view(character), std::string_view(character), std::string_view("a")}) {
      whole += piece;
      if (!add(piece)) return false;
    }
  }
  // An encoding that cannot be written is refused when it is written.
  const std::optional<std::string> at_once = EncodedAlone(encoding.name, whole);
  return at_once && *at_once != pieces;
}

// libxml2's output buffer, which converts UTF-8 to the encoding and writes a
// character reference for a character the encoding lacks.
struct TextEncoder::Converter {
  ~Converter() {
    const ConversionErrors ignored;
    if (buffer != nullptr) xmlOutputBufferClose(buffer);
  }
  xmlOutputBufferPtr buffer = nullptr;
  bool failed = false;  // libxml2 reported an error while converting
};

TextEncoder::TextEncoder(const FileEncoding& encoding, BlockWriter& out)
    : encoding_(encoding), out_(out) {
  if (encoding_.layout == CharacterLayout::kUtf16Le ||
      encoding_.layout == CharacterLayout::kUtf16Be || IsUtf8Name(encoding_.name)) {
    return;
  }
  InitXmlLibrary();
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding_.name.c_str());
  if (handler == nullptr) {
    throw Error(messages::EncodingNotWritable(encoding_.name));
  }
  converter_ = std::make_unique<Converter>();
  converter_->buffer = xmlOutputBufferCreateIO(WriteToBlocks, nullptr, &out_, handler);
  if (converter_->buffer == nullptr) {
    throw Error(messages::EncodingNotWritable(encoding_.name));
  }
}

TextEncoder::~TextEncoder() = default;

void TextEncoder::Write(std::string_view utf8) {
  if (converter_) {
    const ConversionErrors errors;
    xmlOutputBufferWrite(converter_->buffer, static_cast<int>(utf8.size()), utf8.data());
    converter_->failed = converter_->failed || errors.any();
    return;
  }
  if (encoding_.layout != CharacterLayout::kUtf16Le &&
      encoding_.layout != CharacterLayout::kUtf16Be) {
    out_.Append(utf8);
    return;
  }
  const bool big_endian = encoding_.layout == CharacterLayout::kUtf16Be;
  scratch_.clear();
  // A character begun in the last call is finished with the first bytes of this one.
  if (!partial_.empty()) {
    const std::size_t missing = SequenceLength(partial_[0]) - partial_.size();
    const std::size_t taken = std::min(missing, utf8.size());
    partial_.append(utf8.substr(0, taken));
    utf8.remove_prefix(taken);
    if (taken < missing) return;
    AppendUtf16(scratch_, CodePoint(partial_), big_endian);
    partial_.clear();
  }
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t length = SequenceLength(utf8[i]);
    if (i + length > utf8.size()) {
      partial_.assign(utf8.substr(i));
      break;
    }
    AppendUtf16(scratch_, CodePoint(utf8.substr(i, length)), big_endian);
    i += length;
  }
  out_.Append(scratch_);
}

Status TextEncoder::Flush() {
  bool converted = partial_.empty();
  if (converter_) {
    const ConversionErrors errors;
    // Text libxml2 could not convert is either reported or left in its buffer.
    converted = converted && xmlOutputBufferFlush(converter_->buffer) >= 0 && !errors.any() &&
                !converter_->failed && xmlOutputBufferGetSize(converter_->buffer) == 0;
  }
  if (!converted) {
    return Status(Status::Code::kOther, messages::CannotWriteInEncoding(encoding_.name));
  }
  return Status();
}

}  // namespace pontexa::exchange
