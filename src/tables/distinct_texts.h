#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>

namespace pontexa::tables {

// The distinct texts of one field of a table, for asking whether a text occurs
// in it: nothing is kept per row, so a column of a few hundred codes over
// millions of rows costs a few hundred texts.
class DistinctTexts {
 public:
  bool Contains(const std::string& text) const { return texts_.count(text) != 0; }
  std::size_t size() const { return texts_.size(); }
  // Adds the text of the next row.
  void push_back(std::string text) {
    // Rows often repeat the text of the row before: no lookup for them.
    if (has_last_ && text == last_) return;
    last_ = text;
    has_last_ = true;
    texts_.insert(std::move(text));
  }

 private:
  std::unordered_set<std::string> texts_;
  std::string last_;
  bool has_last_ = false;
};

}  // namespace pontexa::tables
