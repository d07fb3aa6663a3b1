#include "platform/findings.h"

namespace pontexa {

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
