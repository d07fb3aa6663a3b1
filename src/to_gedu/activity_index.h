#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pontexa::to_gedu {

// The activities written in one run, in order of writing: each activity
// identifier ("a1", "a2", ...) with the GEDU identifier of its subject.
// Duplicates are kept; nothing is sorted.
class ActivityIndex {
 public:
  void Add(std::string activity_id, const std::string& subject_id);

  std::size_t Size() const { return activity_ids_.size(); }

  // The first position whose subject identifier equals subject_id, letter case
  // ignored; -1 when there is none.
  int IndexOfSubject(std::string_view subject_id) const;

  // The activity identifier at position; raises Error "List index out of
  // bounds (n)" for a position outside the list.
  const std::string& ActivityAt(int position) const;

 private:
  std::vector<std::string> activity_ids_;
  std::unordered_map<std::string, int> first_by_folded_subject_;
};

}  // namespace pontexa::to_gedu
