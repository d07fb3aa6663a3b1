#include "platform/code_page.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>

#include "platform/best_fit.h"
#include "platform/error.h"
#include "platform/messages.h"

namespace pontexa {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; every other byte is the code point of the
// same number. The five bytes the code page leaves undefined stand for the C1
// control of the same number, as Windows converts them, so that every byte
// survives a round trip.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOfByte(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

// The byte for a code point, or -1 when the code page lacks it.
int ByteOfCodePoint(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) return 0x80 + i;
  }
  return -1;
}

// A character the code page lacks becomes what Windows writes for it.
void AppendCodePoint(std::string& out, char32_t c) {
  int byte = ByteOfCodePoint(c);
  out.push_back(byte >= 0 ? static_cast<char>(byte) : BestFit1252(c));
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Simple case folding of each byte, computed once from Unicode's tables.
const std::array<unsigned char, 256>& FoldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
      char32_t folded = static_cast<char32_t>(
          u_foldCase(CodePointOfByte(static_cast<unsigned char>(b)), U_FOLD_CASE_DEFAULT));
      int fb = ByteOfCodePoint(folded);
      t[b] = static_cast<unsigned char>(fb >= 0 ? fb : b);
    }
    return t;
  }();
  return table;
}

struct ConverterClose {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

std::string IcuNameOf(int code_page) {
  switch (code_page) {
    case 437:
    case 850:
    case 852:
    case 860:
    case 861:
    case 863:
    case 865:
    case 866:
      return "ibm-" + std::to_string(code_page);
    default:
      return "windows-" + std::to_string(code_page);
  }
}

}  // namespace

std::string SystemFromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const int32_t length = static_cast<int32_t>(utf8.size());
  int32_t i = 0;
  while (i < length) {
    if (s[i] < 0x80) {  // the common case, byte for byte
      out.push_back(static_cast<char>(s[i++]));
      continue;
    }
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      out.push_back('?');
    } else {
      AppendCodePoint(out, static_cast<char32_t>(c));
    }
  }
  return out;
}

std::string Utf8FromSystem(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    AppendUtf8(out, CodePointOfByte(static_cast<unsigned char>(ch)));
  }
  return out;
}

std::string SystemFromCodePage(std::string_view bytes, int code_page) {
  if (code_page == 1252) return std::string(bytes);
  bool plain = true;
  for (char ch : bytes) {
    if (static_cast<unsigned char>(ch) >= 0x80) {
      plain = false;
      break;
    }
  }
  if (plain) return std::string(bytes);

  // Converters are costly to open; keep one per code page for the process.
  static std::mutex mutex;
  static std::map<int, std::unique_ptr<UConverter, ConverterClose>> converters;
  std::lock_guard<std::mutex> lock(mutex);
  auto& converter = converters[code_page];
  if (!converter) {
    UErrorCode status = U_ZERO_ERROR;
    converter.reset(ucnv_open(IcuNameOf(code_page).c_str(), &status));
    if (U_FAILURE(status) || !converter) {
      converters.erase(code_page);
      throw Error(messages::UnsupportedCodePage(code_page));
    }
  }
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString unicode(bytes.data(), static_cast<int32_t>(bytes.size()), converter.get(),
                             status);
  if (U_FAILURE(status)) {
    throw Error(messages::CannotConvertFromCodePage(code_page));
  }
  std::string out;
  out.reserve(bytes.size());
  for (int32_t i = 0; i < unicode.length();) {
    UChar32 c = unicode.char32At(i);
    AppendCodePoint(out, static_cast<char32_t>(c));
    i += U16_LENGTH(c);
  }
  return out;
}

// The system code page is single-byte, so a character is a byte here.
std::string FirstChars(std::string_view text, std::size_t n) {
  return std::string(text.substr(0, n));
}

std::string LastChars(std::string_view text, std::size_t n) {
  if (text.size() <= n) return std::string(text);
  return std::string(text.substr(text.size() - n));
}

bool SameCode(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& fold = FoldTable();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])]) {
      return false;
    }
  }
  return true;
}

std::string FoldCase(std::string_view text) {
  const auto& fold = FoldTable();
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(fold[static_cast<unsigned char>(ch)]);
  return out;
}

}  // namespace pontexa
