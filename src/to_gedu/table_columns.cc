#include "to_gedu/table_columns.h"

namespace pontexa::to_gedu {

void TableColumns::Open() { table_.OpenTable(tables::OpenMode::kExclusive); }

void TableColumns::Close() {
  texts_.clear();
  first_rows_.clear();
  table_.CloseTable();
}

const std::vector<std::string>& TableColumns::Texts(std::string_view field) {
  if (auto found = texts_.find(field); found != texts_.end()) return found->second;
  std::vector<std::string> column;
  for (table_.ToFirstRow(); !table_.PastLastRow(); table_.ToNextRow()) {
    column.push_back(table_.TextOf(field));
  }
  return texts_.emplace(std::string(field), std::move(column)).first->second;
}

std::optional<std::size_t> TableColumns::FirstRow(std::string_view field, const std::string& key) {
  auto index = first_rows_.find(field);
  if (index == first_rows_.end()) {
    const std::vector<std::string>& column = Texts(field);
    std::unordered_map<std::string, std::size_t> rows;
    rows.reserve(column.size());
    for (std::size_t row = 0; row < column.size(); ++row) rows.emplace(column[row], row);
    index = first_rows_.emplace(std::string(field), std::move(rows)).first;
  }
  auto row = index->second.find(key);
  if (row == index->second.end()) return std::nullopt;
  return row->second;
}

}  // namespace pontexa::to_gedu
