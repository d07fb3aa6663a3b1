#include "to_gedu/activity_index.h"

#include <string>

#include "platform/code_page.h"
#include "platform/error.h"

namespace pontexa::to_gedu {

void ActivityIndex::Add(std::string activity_id, const std::string& subject_id) {
  const int position = static_cast<int>(activity_ids_.size());
  first_by_folded_subject_.emplace(FoldCase(subject_id), position);  // the first keeps its place
  activity_ids_.push_back(std::move(activity_id));
}

int ActivityIndex::IndexOfSubject(std::string_view subject_id) const {
  auto found = first_by_folded_subject_.find(FoldCase(subject_id));
  return found == first_by_folded_subject_.end() ? -1 : found->second;
}

const std::string& ActivityIndex::ActivityAt(int position) const {
  if (position < 0 || static_cast<std::size_t>(position) >= activity_ids_.size()) {
    throw Error("List index out of bounds (" + std::to_string(position) + ")");
  }
  return activity_ids_[static_cast<std::size_t>(position)];
}

}  // namespace pontexa::to_gedu
