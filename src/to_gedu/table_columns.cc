#include "to_gedu/table_columns.h"

namespace pontexa::to_gedu {

void TableColumns::Open() { table_.OpenTable(HoldKind::kExclusive); }

void TableColumns::Close() {
  texts_.clear();
  distinct_.clear();
  last_distinct_ = nullptr;
  first_rows_.clear();
  last_index_ = nullptr;
  last_row_known_ = false;
  last_column_ = nullptr;
  table_.CloseTable();
}

const tables::TextColumn& TableColumns::Texts(std::string_view field) {
  if (last_column_ != nullptr && field == last_column_field_) return *last_column_;
  if (auto found = texts_.find(field); found != texts_.end()) {
    last_column_field_ = found->first;
    last_column_ = &found->second;
    return found->second;
  }
  return texts_.emplace(std::string(field), table_.TextsOf(field)).first->second;
}

const tables::DistinctTexts& TableColumns::Distinct(std::string_view field) {
  // Asked for once per catalogue row, in runs on one field.
  if (last_distinct_ != nullptr && field == last_distinct_field_) return *last_distinct_;
  auto found = distinct_.find(field);
  if (found == distinct_.end()) {
    found = distinct_.emplace(std::string(field), table_.DistinctTextsOf(field)).first;
  }
  last_distinct_field_ = found->first;
  last_distinct_ = &found->second;
  return found->second;
}

std::optional<std::size_t> TableColumns::FirstRow(std::string_view field, const std::string& key) {
  // Lookups come in long runs on one field, and the next row often asks for the
  // same key again: the last index and the last answer are kept at hand.
  if (last_index_ == nullptr || field != last_field_) {
    auto index = first_rows_.find(field);
    if (index == first_rows_.end()) {
      const tables::TextColumn& column = Texts(field);
      std::unordered_map<std::string, std::size_t> rows;
      // try_emplace builds no node for a code already seen: most rows repeat one,
      // often the one of the row before, which is then not looked up at all.
      for (std::size_t row = 0; row < column.size(); ++row) {
        if (row > 0 && column[row] == column[row - 1]) continue;
        rows.try_emplace(column[row], row);
      }
      index = first_rows_.emplace(std::string(field), std::move(rows)).first;
    }
    last_field_ = index->first;
    last_index_ = &index->second;
  } else if (last_row_known_ && key == last_key_) {
    return last_row_;
  }
  auto row = last_index_->find(key);
  last_key_ = key;
  last_row_ = row == last_index_->end() ? std::nullopt : std::optional<std::size_t>(row->second);
  last_row_known_ = true;
  return last_row_;
}

}  // namespace pontexa::to_gedu
