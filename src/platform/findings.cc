#include "platform/findings.h"

#include "platform/code_page.h"

namespace pontexa {

std::string FindingText(std::string_view system_text) {
  for (const char c : system_text) {
    if (static_cast<unsigned char>(c) >= 0x80) return Utf8FromSystem(system_text);
  }
  return std::string(system_text);
}

std::string Joined(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

void Findings::CountRows(const std::string& table, std::int64_t rows) {
  for (auto& [name, count] : rows_) {
    if (name == table) {
      count = rows;
      return;
    }
  }
  rows_.emplace_back(table, rows);
}

}  // namespace pontexa
