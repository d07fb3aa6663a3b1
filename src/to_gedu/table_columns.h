#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tables/table.h"

namespace pontexa::to_gedu {

// A table binding read into memory one column at a time, for as long as the
// table stays open. A column is read in one scan the first time it is asked
// for, so a field the table lacks fails exactly when the first row would have
// been read with it, and an empty table reads no field at all. The binding is
// held exclusively while open, so the columns of one opening belong together.
class TableColumns {
 public:
  explicit TableColumns(tables::Table& table) : table_(table) {}
  TableColumns(const TableColumns&) = delete;
  TableColumns& operator=(const TableColumns&) = delete;

  tables::Table& table() { return table_; }

  // Opens the table exclusively; does nothing when it is open.
  void Open();
  // Closes the table and forgets every column read from it.
  void Close();

  // The field's text (TextOf) in every row, in stored order.
  const tables::TextColumn& Texts(std::string_view field);
  // The field's distinct texts (TextOf), read in one scan the first time.
  const tables::DistinctTexts& Distinct(std::string_view field);
  // The first row, in stored order, whose field text equals key exactly.
  std::optional<std::size_t> FirstRow(std::string_view field, const std::string& key);

 private:
  tables::Table& table_;
  std::map<std::string, tables::TextColumn, std::less<>> texts_;
  std::map<std::string, tables::DistinctTexts, std::less<>> distinct_;
  std::string_view last_distinct_field_;  // the key in distinct_ of last_distinct_
  const tables::DistinctTexts* last_distinct_ = nullptr;
  std::map<std::string, std::unordered_map<std::string, std::size_t>, std::less<>> first_rows_;
  std::string_view last_field_;  // the key in first_rows_ of last_index_
  const std::unordered_map<std::string, std::size_t>* last_index_ = nullptr;
  std::string last_key_;                 // the key last looked up in last_index_
  std::optional<std::size_t> last_row_;  // and what it gave
  bool last_row_known_ = false;
  std::string_view last_column_field_;  // the key in texts_ of last_column_
  const tables::TextColumn* last_column_ = nullptr;
};

}  // namespace pontexa::to_gedu
