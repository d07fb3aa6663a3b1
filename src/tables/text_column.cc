#include "tables/text_column.h"

namespace pontexa::tables {

void TextColumn::push_back(std::string text) {
  // Rows often repeat the text of the row before: no lookup for them.
  if (!rows_.empty() && distinct_[rows_.back()] == text) {
    rows_.push_back(rows_.back());
    return;
  }
  if (done_adding_) {
    for (std::size_t i = 0; i < distinct_.size(); ++i) {
      numbers_.emplace(distinct_[i], static_cast<std::uint32_t>(i));
    }
    done_adding_ = false;
  }
  auto found = numbers_.find(text);
  if (found == numbers_.end()) {
    const auto number = static_cast<std::uint32_t>(distinct_.size());
    distinct_.push_back(std::move(text));
    found = numbers_.emplace(distinct_.back(), number).first;
  }
  rows_.push_back(found->second);
}

void TextColumn::DoneAdding() {
  numbers_ = {};
  done_adding_ = true;
}

}  // namespace pontexa::tables
