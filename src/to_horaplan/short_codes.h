#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace pontexa::to_horaplan {

// Initials of a name: its first byte, then each byte that follows a space (a
// space in the last position adds nothing; a space after a space adds that space).
std::string InitialsOf(std::string_view name);

// The codes handed out during one table build, as the table will store them:
// cut to the width of the field they go into, without trailing blanks (a text
// field does not keep them: "L " reads back as "L"). Two codes are the same
// code when their stored forms are, by SameCode (letter case ignored).
class UsedCodes {
 public:
  explicit UsedCodes(std::size_t field_width) : field_width_(field_width) {}

  std::size_t field_width() const { return field_width_; }
  // The code as the table stores it: its first field_width characters, trailing
  // blanks cut.
  std::string StoredForm(std::string_view code) const;
  // True when the stored form of code is the same code as one handed out.
  bool Contains(std::string_view code) const;
  void Add(std::string_view code);
  std::size_t size() const { return folded_.size(); }

 private:
  friend std::optional<std::string> MakeUniqueCode(std::string_view base, UsedCodes& used);

  std::size_t field_width_;
  std::unordered_set<std::string> folded_;  // FoldCase of each stored form
  // For each stored base (case folded), the last number a search with it
  // stopped at. Every candidate of that base up to it was taken then and, since
  // codes are never removed, is taken still: the next search may start after it
  // and find the same code.
  std::unordered_map<std::string, unsigned long long> searched_up_to_;
};

// A code for `base` that is not yet in `used`, entered there, in its stored
// form. The base itself when it is free; otherwise the base followed by the
// first k = 1, 2, ... that gives a free code. When base and number together are
// longer than the field, the base is shortened from its end just enough for the
// number to fit, so that the stored code is still distinct. Nothing when no code
// that fits the field is free (the list is left unchanged).
std::optional<std::string> MakeUniqueCode(std::string_view base, UsedCodes& used);

}  // namespace pontexa::to_horaplan
