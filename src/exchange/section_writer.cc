#include "exchange/section_writer.h"

#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

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
bool IsPlainAsciiName(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!letter(name.front())) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) {
    return letter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  });
}

// The name in UTF-8; `converted` holds it when it is not plain ASCII.
std::string_view CheckedName(std::string_view name, const char* what, std::string& converted) {
  if (IsPlainAsciiName(name)) return name;
  converted = Utf8FromSystem(name);
  if (name.empty() ||
      xmlValidateNCName(reinterpret_cast<const xmlChar*>(converted.c_str()), 0) != 0) {
    throw Error(std::string("Nombre de ") + what + " no válido: '" + converted + "'");
  }
  return converted;
}

void AppendEscapedValue(std::string& out, std::string_view value) {
  for (char c : value) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\t':
        out += "&#9;";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace

SectionWriter::SectionWriter(Sink sink) : sink_(std::move(sink)) { buffer_.reserve(kPieceSize); }

void SectionWriter::StartElement(std::string_view name) {
  std::string converted;
  const std::string_view checked = CheckedName(name, "elemento", converted);
  CloseStartTag();
  buffer_ += '<';
  buffer_ += checked;
  open_.emplace_back(checked);
  start_tag_open_ = true;
  attribute_count_ = 0;
}

void SectionWriter::SetAttribute(std::string_view name, std::string_view text) {
  if (!start_tag_open_) {
    throw Error("No se puede poner el atributo '" + Utf8FromSystem(name) + "': no hay elemento");
  }
  std::string converted_name;
  const std::string_view utf8_name = CheckedName(name, "atributo", converted_name);
  // One pass tells whether the value is plain ASCII, needs escapes, or holds a
  // control character XML cannot hold (the same bytes in 8-bit text and UTF-8).
  unsigned kinds = 0;
  for (unsigned char c : text) kinds |= kByteKinds[c];
  if (kinds & kForbidden) {
    for (unsigned char c : text) {
      if (kByteKinds[c] & kForbidden) {
        throw Error("El valor del atributo '" + std::string(utf8_name) +
                    "' tiene un carácter de control que XML no admite (código " +
                    std::to_string(static_cast<int>(c)) + ")");
      }
    }
  }
  const bool plain = (kinds & kEscaped) == 0;
  std::string converted_value;
  const std::string_view value =
      (kinds & kNonAscii) == 0 ? text : (converted_value = Utf8FromSystem(text));
  const auto given = attribute_names_.begin() + static_cast<std::ptrdiff_t>(attribute_count_);
  if (std::find(attribute_names_.begin(), given, utf8_name) != given) {
    throw Error("El atributo '" + std::string(utf8_name) + "' ya está puesto en este elemento");
  }
  // The names' storage is reused from element to element.
  if (attribute_count_ < attribute_names_.size()) {
    attribute_names_[attribute_count_].assign(utf8_name);
  } else {
    attribute_names_.emplace_back(utf8_name);
  }
  ++attribute_count_;
  buffer_ += ' ';
  buffer_ += utf8_name;
  buffer_ += "=\"";
  if (plain) {
    buffer_ += value;
  } else {
    AppendEscapedValue(buffer_, value);
  }
  buffer_ += '"';
}

void SectionWriter::EndElement() {
  if (open_.empty()) throw Error("No hay ningún elemento abierto que cerrar");
  if (start_tag_open_) {
    buffer_ += "/>";
    start_tag_open_ = false;
  } else {
    buffer_ += "</";
    buffer_ += open_.back();
    buffer_ += '>';
  }
  open_.pop_back();
  if (buffer_.size() >= kPieceSize) Emit();
}

void SectionWriter::Finish() {
  if (!open_.empty()) throw Error("El elemento '" + open_.back() + "' está sin cerrar");
  Emit();
}

void SectionWriter::CloseStartTag() {
  if (!start_tag_open_) return;
  buffer_ += '>';
  start_tag_open_ = false;
}

void SectionWriter::Emit() {
  if (buffer_.empty()) return;
  sink_(buffer_);
  buffer_.clear();
}

}  // namespace pontexa::exchange
