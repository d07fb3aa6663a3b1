#include "exchange/markup_scan.h"

#include <array>
#include <cstdint>
#include <string>

#include "platform/character_decoding.h"

namespace pontexa::exchange {
namespace {

// The characters of bytes where each byte is a character as far as markup goes:
// UTF-8 and the single-byte encodings, whose ASCII bytes are always ASCII.
class ByteUnits {
 public:
  explicit ByteUnits(std::string_view bytes) : bytes_(bytes) {}
  std::size_t size() const { return bytes_.size(); }
  char32_t at(std::size_t i) const { return static_cast<unsigned char>(bytes_[i]); }
  std::size_t offset(std::size_t i) const { return i; }
  // The first position from i on that holds c, or size().
  std::size_t Find(char c, std::size_t i) const {
    const std::size_t found = bytes_.find(c, i);
    return found == std::string_view::npos ? bytes_.size() : found;
  }

 private:
  std::string_view bytes_;
};

// The first position from i on that holds c, or units.size(): a character at a
// time for units that are not plain bytes.
template <typename Units>
std::size_t FindUnit(const Units& units, char c, std::size_t i) {
  while (i < units.size() && units.at(i) != static_cast<unsigned char>(c)) ++i;
  return i;
}

std::size_t FindUnit(const ByteUnits& units, char c, std::size_t i) { return units.Find(c, i); }

// The first position from i on inside a start tag that can matter: a quote,
// '>' or '/'; or units.size().
template <typename Units>
std::size_t FindTagMark(const Units& units, std::size_t i) {
  while (i < units.size()) {
    const char32_t c = units.at(i);
    if (c == '"' || c == '\'' || c == '>' || c == '/') break;
    ++i;
  }
  return i;
}

// The same for plain bytes, one table look-up a byte.
std::size_t FindTagMark(const ByteUnits& units, std::size_t i) {
  static constexpr auto kMarks = [] {
    std::array<bool, 256> marks{};
    for (unsigned char c : {'"', '\'', '>', '/'}) marks[c] = true;
    return marks;
  }();
  while (i < units.size() && !kMarks[units.at(i)]) ++i;
  return i;
}

// The first position from i on that ends a name (white space, '/', '>', '='
// or ';'), or units.size().
bool EndsName(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '/' || c == '>' || c == '=' ||
         c == ';';
}

template <typename Units>
std::size_t FindNameEnd(const Units& units, std::size_t i) {
  while (i < units.size() && !EndsName(units.at(i))) ++i;
  return i;
}

std::size_t FindNameEnd(const ByteUnits& units, std::size_t i) {
  static constexpr auto kEnds = [] {
    std::array<bool, 256> ends{};
    for (unsigned char c : {' ', '\t', '\n', '\r', '/', '>', '=', ';'}) ends[c] = true;
    return ends;
  }();
  while (i < units.size() && !kEnds[units.at(i)]) ++i;
  return i;
}

// UTF-16 code units; surrogates never look like markup.
class Utf16Units {
 public:
  Utf16Units(std::string_view bytes, bool big_endian) : bytes_(bytes), big_endian_(big_endian) {}
  std::size_t size() const { return bytes_.size() / 2; }
  char32_t at(std::size_t i) const {
    const unsigned char first = static_cast<unsigned char>(bytes_[2 * i]);
    const unsigned char second = static_cast<unsigned char>(bytes_[2 * i + 1]);
    return big_endian_ ? (first << 8 | second) : (second << 8 | first);
  }
  std::size_t offset(std::size_t i) const { return 2 * i; }

 private:
  std::string_view bytes_;
  bool big_endian_;
};

// Characters decoded one by one, each with the offset of its first byte.
class DecodedUnits {
 public:
  explicit DecodedUnits(DecodedText text) : text_(std::move(text)) {}
  std::size_t size() const { return text_.characters.size(); }
  char32_t at(std::size_t i) const { return text_.characters[i]; }
  std::size_t offset(std::size_t i) const {
    return i < text_.offsets.size() ? text_.offsets[i] : text_.total_bytes;
  }

 private:
  DecodedText text_;
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Walks well-formed XML. Positions are character indexes; the units turn them
// into byte offsets.
template <typename Units>
class Scanner {
 public:
  explicit Scanner(const Units& units) : u_(units), n_(units.size()) {}

  RootLayout Document() {
    RootLayout layout;
    while (i_ < n_) {
      if (u_.at(i_) != '<') {
        ++i_;  // white space, or a byte-order mark
      } else if (At("<?")) {
        SkipPast("?>");
      } else if (At("<!--")) {
        SkipPast("-->");
      } else if (At("<!DOCTYPE")) {
        SkipDoctype();
      } else {
        ++i_;
        const std::size_t name_begin = i_;
        ReadName();
        layout.root_name = {u_.offset(name_begin), u_.offset(i_)};
        std::size_t slash = 0;
        if (FinishStartTag(slash)) {
          layout.root_empty = true;
          layout.root_end = u_.offset(slash);
          layout.after_root = u_.offset(i_);
          return layout;
        }
        Content(layout.items, &layout);
        return layout;
      }
    }
    return layout;
  }

  // The content from here to the end of the units, or to the end tag that
  // closes the element the content is in (the root, when `root` is given).
  void Content(std::vector<TopItem>& items, RootLayout* root) {
    int depth = 1;
    std::size_t child_begin = 0;
    std::string child_name;
    while (i_ < n_) {
      const char32_t c = u_.at(i_);
      if (c == '<') {
        if (At("<!--")) {
          SkipPast("-->");
        } else if (At("<![CDATA[")) {
          SkipPast("]]>");
        } else if (At("<?")) {
          SkipPast("?>");
        } else if (At("</")) {
          const std::size_t begin = i_;
          SkipPastUnit('>');
          --depth;
          if (depth == 0) {
            if (root != nullptr) {
              root->root_end = u_.offset(begin);
              root->after_root = u_.offset(i_);
            }
            return;
          }
          if (depth == 1) {
            items.push_back({TopItem::Kind::kElement, child_name, {child_begin, u_.offset(i_)}});
          }
        } else {
          const std::size_t begin = i_;
          ++i_;
          // Only the names of the root's children are kept.
          std::string name;
          if (depth == 1) {
            name = ReadName();
          } else {
            SkipName();
          }
          std::size_t slash = 0;
          const bool empty = FinishStartTag(slash);
          if (depth == 1 && empty) {
            items.push_back({TopItem::Kind::kElement, name, {u_.offset(begin), u_.offset(i_)}});
          } else if (depth == 1) {
            child_begin = u_.offset(begin);
            child_name = std::move(name);
          }
          if (!empty) ++depth;
        }
      } else if (c == '&' && depth == 1) {
        const std::size_t begin = i_;
        ++i_;
        if (i_ < n_ && u_.at(i_) == '#') {
          SkipPast(";");
          continue;
        }
        std::string name = ReadName();
        SkipPast(";");
        items.push_back({TopItem::Kind::kReference, name, {u_.offset(begin), u_.offset(i_)}});
      } else {
        // Text: straight to the next markup or reference.
        const std::size_t lt = FindUnit(u_, '<', i_);
        const std::size_t amp = depth == 1 ? FindUnit(u_, '&', i_) : n_;
        i_ = lt < amp ? lt : amp;
      }
    }
  }

 private:
  bool At(std::string_view text) const {
    if (n_ - i_ < text.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (u_.at(i_ + k) != static_cast<unsigned char>(text[k])) return false;
    }
    return true;
  }

  void SkipPast(std::string_view text) {
    while (i_ < n_ && !At(text)) ++i_;
    i_ = i_ + text.size() > n_ ? n_ : i_ + text.size();
  }

  // A name, up to the white space, '/', '>', '=' or ';' after it, in UTF-8.
  std::string ReadName() {
    std::string name;
    while (i_ < n_) {
      const char32_t c = u_.at(i_);
      if (EndsName(c)) break;
      AppendUtf8(name, c);
      ++i_;
    }
    return name;
  }

  // Goes past a name without keeping it.
  void SkipName() { i_ = FindNameEnd(u_, i_); }

  // Goes just past the next c, or to the end.
  void SkipPastUnit(char c) {
    i_ = FindUnit(u_, c, i_);
    if (i_ < n_) ++i_;
  }

  void SkipQuoted() {
    const char quote = static_cast<char>(u_.at(i_));
    i_ = FindUnit(u_, quote, i_ + 1);
    if (i_ < n_) ++i_;
  }

  // The rest of a start tag, after its name. True for an empty-element tag,
  // whose "/>" starts at `slash`. Stops just past the closing '>'.
  bool FinishStartTag(std::size_t& slash) {
    while (i_ < n_) {
      i_ = FindTagMark(u_, i_);
      if (i_ >= n_) break;
      const char32_t c = u_.at(i_);
      if (c == '"' || c == '\'') {
        SkipQuoted();
      } else if (c == '>') {
        ++i_;
        return false;
      } else if (c == '/') {
        slash = i_;
        i_ += 2;
        return true;
      } else {
        ++i_;
      }
    }
    return false;
  }

  void SkipDoctype() {
    i_ += 9;
    while (i_ < n_) {
      const char32_t c = u_.at(i_);
      if (c == '"' || c == '\'') {
        SkipQuoted();
      } else if (c == '[') {
        ++i_;
        SkipInternalSubset();
      } else if (c == '>') {
        ++i_;
        return;
      } else {
        ++i_;
      }
    }
  }

  void SkipInternalSubset() {
    while (i_ < n_) {
      const char32_t c = u_.at(i_);
      if (At("<!--")) {
        SkipPast("-->");
      } else if (At("<?")) {
        SkipPast("?>");
      } else if (c == '"' || c == '\'') {
        SkipQuoted();
      } else if (c == ']') {
        ++i_;
        return;
      } else {
        ++i_;
      }
    }
  }

  const Units& u_;
  const std::size_t n_;
  std::size_t i_ = 0;
};

}  // namespace

RootLayout ScanRootLayout(std::string_view bytes, const FileEncoding& encoding) {
  switch (encoding.layout) {
    case CharacterLayout::kAsciiBytes: {
      ByteUnits units(bytes);
      return Scanner<ByteUnits>(units).Document();
    }
    case CharacterLayout::kUtf16Le:
    case CharacterLayout::kUtf16Be: {
      Utf16Units units(bytes, encoding.layout == CharacterLayout::kUtf16Be);
      return Scanner<Utf16Units>(units).Document();
    }
    case CharacterLayout::kOther:
      break;
  }
  DecodedUnits units(DecodeCharacters(bytes, encoding.name));
  return Scanner<DecodedUnits>(units).Document();
}

std::vector<TopItem> ScanContentTop(std::string_view utf8) {
  ByteUnits units(utf8);
  std::vector<TopItem> items;
  Scanner<ByteUnits>(units).Content(items, nullptr);
  return items;
}

}  // namespace pontexa::exchange
