#include "platform/findings.h"

namespace pontexa {

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
