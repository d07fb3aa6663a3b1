#include "exchange/section_writer.h"

#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>

#include "exchange/messages.h"
#include "platform/code_page.h"
#include "platform/error.h"

namespace pontexa::exchange {
namespace {

constexpr std::size_t kPieceSize = 1 << 16;

// What a byte of an attribute value asks for.
constexpr unsigned char kNonAscii = 1;
constexpr unsigned char kForbidden = 2;  // a control character XML cannot hold
constexpr unsigned char kEscaped = 4;    // written as a reference

constexpr std::array<unsigned char, 256> kByteKinds = [] {
  std::array<unsigned char, 256> kinds{};
  for (int c = 0; c < 0x20; ++c) kinds[c] = kForbidden;
  for (int c : {'\t', '\n', '\r', '<', '>', '&', '"'}) kinds[c] = kEscaped;
  for (int c = 0x80; c < 0x100; ++c) kinds[c] = kNonAscii;
  return kinds;
}();

// A name made only of ASCII letters, digits, '_', '-' and '.', led by a letter
// or '_', as every name of the section is: always an XML name without a prefix.
constexpr unsigned char kNameStart = 1;
constexpr unsigned char kNameRest = 2;

constexpr std::array<unsigned char, 256> kNameKinds = [] {
  std::array<unsigned char, 256> kinds{};
  for (int c = 'a'; c <= 'z'; ++c) kinds[c] = kNameStart | kNameRest;
  for (int c = 'A'; c <= 'Z'; ++c) kinds[c] = kNameStart | kNameRest;
  kinds['_'] = kNameStart | kNameRest;
  for (int c = '0'; c <= '9'; ++c) kinds[c] = kNameRest;
  kinds['-'] = kNameRest;
  kinds['.'] = kNameRest;
  return kinds;
}();

bool IsPlainAsciiName(std::string_view name) {
  if (name.empty() || !(kNameKinds[static_cast<unsigned char>(name.front())] & kNameStart)) {
    return false;
  }
  unsigned char all = kNameRest;
  for (unsigned char c : name.substr(1)) all &= kNameKinds[c];
  return all != 0;
}

// The name in UTF-8; `converted` holds it when it is not plain ASCII.
// `invalid` builds the message raised when it is not an XML name.
std::string_view CheckedName(std::string_view name, std::string (*invalid)(std::string_view),
                             std::string& converted) {
  if (IsPlainAsciiName(name)) return name;
  converted = Utf8FromSystem(name);
  if (name.empty() ||
      xmlValidateNCName(reinterpret_cast<const xmlChar*>(converted.c_str()), 0) != 0) {
    throw Error(invalid(converted));
  }
  return converted;
}

// The reference a byte is written as in an attribute value, or "" for itself.
std::string_view Escape(char c) {
  switch (c) {
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    case '"':
      return "&quot;";
    case '\n':
      return "&#10;";
    case '\r':
      return "&#13;";
    case '\t':
      return "&#9;";
    default:
      return "";
  }
}

}  // namespace

SectionWriter::SectionWriter(Sink sink) : sink_(std::move(sink)) { buffer_.resize(2 * kPieceSize); }

void SectionWriter::Grow(std::size_t count) {
  buffer_.resize(std::max(2 * buffer_.size(), used_ + count));
}

inline char* SectionWriter::Extend(std::size_t count) {
  if (buffer_.size() - used_ < count) Grow(count);
  char* at = buffer_.data() + used_;
  used_ += count;
  return at;
}

inline void SectionWriter::Append(std::string_view bytes) {
  std::memcpy(Extend(bytes.size()), bytes.data(), bytes.size());
}

bool SectionWriter::AppendPlainName(std::string_view name) {
  if (name.empty() || !(kNameKinds[static_cast<unsigned char>(name[0])] & kNameStart)) {
    return false;
  }
  char* out = Extend(name.size());
  // Names are short: a loop that stops at the first byte that does not fit
  // is cheaper than any vectorised one.
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (!(kNameKinds[c] & kNameRest)) {
      used_ -= name.size();
      return false;
    }
    out[i] = static_cast<char>(c);
  }
  return true;
}

void SectionWriter::StartElement(std::string_view name) {
  const std::size_t mark = used_;
  const bool tag_was_open = start_tag_open_;
  CloseStartTag();
  *Extend(1) = '<';
  std::string converted;
  std::string_view written = name;
  if (!AppendPlainName(name)) {
    used_ = mark;
    start_tag_open_ = tag_was_open;
    written = CheckedName(name, messages::InvalidElementName, converted);
    CloseStartTag();
    *Extend(1) = '<';
    Append(written);
  }
  open_starts_.push_back(open_names_.size());
  open_names_.append(written);
  start_tag_open_ = true;
  attribute_names_.clear();
}

void SectionWriter::SetAttribute(std::string_view name, std::string_view text) {
  if (!start_tag_open_) {
    throw Error(messages::CannotSetAttributeWithoutElement(Utf8FromSystem(name)));
  }
  // ' name="value"': written at once, then taken back or redone when the name
  // or the value asks for more than a copy.
  const std::size_t mark = used_;
  *Extend(1) = ' ';
  std::string converted_name;
  std::string_view utf8_name = name;
  if (!AppendPlainName(name)) {
    used_ = mark;
    utf8_name = CheckedName(name, messages::InvalidAttributeName, converted_name);
    *Extend(1) = ' ';
    Append(utf8_name);
  }
  // The value is copied up to its first byte that asks for more than a copy:
  // one outside ASCII, one written as a reference, or a control character XML
  // cannot hold (the same bytes in 8-bit text and UTF-8).
  const std::size_t value_start = used_ + 2;
  char* out = Extend(text.size() + 3);
  out[0] = '=';
  out[1] = '"';
  std::size_t copied = 0;
  for (; copied < text.size(); ++copied) {
    const unsigned char c = static_cast<unsigned char>(text[copied]);
    if (kByteKinds[c] != 0) break;
    out[2 + copied] = static_cast<char>(c);
  }
  out[2 + text.size()] = '"';
  unsigned kinds = 0;
  for (unsigned char c : text.substr(copied)) kinds |= kByteKinds[c];
  if (kinds & kForbidden) {
    used_ = mark;
    for (unsigned char c : text) {
      if (kByteKinds[c] & kForbidden) {
        throw Error(messages::ControlCharacterInAttribute(utf8_name, static_cast<int>(c)));
      }
    }
  }
  for (const auto& [begin, size] : attribute_names_) {
    if (std::string_view(buffer_.data() + begin, size) == utf8_name) {
      used_ = mark;
      throw Error(messages::AttributeAlreadySet(utf8_name));
    }
  }
  attribute_names_.emplace_back(mark + 1, utf8_name.size());
  if (kinds == 0) return;

  // The value again, in UTF-8 and escaped where it needs it.
  used_ = value_start;
  std::string converted_value;
  const std::string_view value =
      (kinds & kNonAscii) == 0 ? text : (converted_value = Utf8FromSystem(text));
  if ((kinds & kEscaped) == 0) {
    Append(value);
  } else {
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
      const std::string_view reference = Escape(value[i]);
      if (reference.empty()) continue;
      Append(value.substr(plain_from, i - plain_from));
      Append(reference);
      plain_from = i + 1;
    }
    Append(value.substr(plain_from));
  }
  *Extend(1) = '"';
}

void SectionWriter::EndElement() {
  if (open_starts_.empty()) throw Error(messages::NoOpenElementToEnd());
  const std::size_t name_start = open_starts_.back();
  if (start_tag_open_) {
    std::memcpy(Extend(2), "/>", 2);
    start_tag_open_ = false;
  } else {
    const std::size_t name_size = open_names_.size() - name_start;
    char* at = Extend(name_size + 3);
    at[0] = '<';
    at[1] = '/';
    std::memcpy(at + 2, open_names_.data() + name_start, name_size);
    at[name_size + 2] = '>';
  }
  open_names_.resize(name_start);
  open_starts_.pop_back();
  if (used_ >= kPieceSize) Emit();
}

void SectionWriter::Finish() {
  if (!open_starts_.empty()) {
    throw Error(messages::ElementNotEnded(open_names_.substr(open_starts_.back())));
  }
  Emit();
}

void SectionWriter::CloseStartTag() {
  if (!start_tag_open_) return;
  *Extend(1) = '>';
  start_tag_open_ = false;
}

void SectionWriter::Emit() {
  if (used_ == 0) return;
  sink_(std::string_view(buffer_.data(), used_));
  used_ = 0;
}

}  // namespace pontexa::exchange
