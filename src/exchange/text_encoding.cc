#include "exchange/text_encoding.h"

#include <libxml/encoding.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <cctype>
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
  if (declared.empty() || Lower(declared) == "utf-8" || Lower(declared) == "utf8") {
    return {CharacterLayout::kAsciiBytes, "UTF-8"};
  }
  if (IsAsciiCompatible(declared)) return {CharacterLayout::kAsciiBytes, declared};
  return {CharacterLayout::kOther, declared};
}

// libxml2's output buffer, which converts UTF-8 to the encoding and writes a
// character reference for a character the encoding lacks.
struct TextEncoder::Converter {
  ~Converter() {
    if (buffer != nullptr) xmlOutputBufferClose(buffer);
  }
  xmlOutputBufferPtr buffer = nullptr;
};

TextEncoder::TextEncoder(const FileEncoding& encoding, BlockWriter& out)
    : encoding_(encoding), out_(out) {
  if (encoding_.layout == CharacterLayout::kUtf16Le ||
      encoding_.layout == CharacterLayout::kUtf16Be || Lower(encoding_.name) == "utf-8" ||
      Lower(encoding_.name) == "utf8") {
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
    xmlOutputBufferWrite(converter_->buffer, static_cast<int>(utf8.size()), utf8.data());
    return;
  }
  if (encoding_.layout != CharacterLayout::kUtf16Le &&
      encoding_.layout != CharacterLayout::kUtf16Be) {
    out_.Append(utf8);
    return;
  }
  const bool big_endian = encoding_.layout == CharacterLayout::kUtf16Be;
  scratch_.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1   ? lead
                 : length == 2 ? (lead & 0x1F)
                 : length == 3 ? (lead & 0x0F)
                               : (lead & 0x07);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    AppendUtf16(scratch_, c, big_endian);
    i += length;
  }
  out_.Append(scratch_);
}

Status TextEncoder::Flush() {
  if (converter_ && xmlOutputBufferFlush(converter_->buffer) < 0) {
    return Status(Status::Code::kOther, messages::CannotWriteInEncoding(encoding_.name));
  }
  return Status();
}

}  // namespace pontexa::exchange
