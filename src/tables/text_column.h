#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pontexa::tables {

// One field's text in every row of a table, in stored order. Each distinct
// text is kept once and the rows hold its number: a column of codes repeats a
// few hundred texts over hundreds of thousands of rows.
class TextColumn {
 public:
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const std::string& operator[](std::size_t row) const { return distinct_[rows_[row]]; }
  // The number of the row's text among the distinct ones, counted from 0 in
  // the order first met; below DistinctCount().
  std::uint32_t NumberAt(std::size_t row) const { return rows_[row]; }
  std::size_t DistinctCount() const { return distinct_.size(); }
  // Adds the text of the next row.
  void push_back(std::string text);
  void reserve(std::size_t rows) { rows_.reserve(rows); }
  // Frees what push_back keeps to find a text again, once the column is
  // whole; a later push_back builds it anew.
  void DoneAdding();

 private:
  bool done_adding_ = false;
  std::vector<std::uint32_t> rows_;
  std::deque<std::string> distinct_;  // a deque: the views in numbers_ stay valid
  std::unordered_map<std::string_view, std::uint32_t> numbers_;
};

}  // namespace pontexa::tables
