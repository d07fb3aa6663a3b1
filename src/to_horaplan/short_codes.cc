#include "to_horaplan/short_codes.h"

#include "platform/code_page.h"

namespace pontexa::to_horaplan {

std::string InitialsOf(std::string_view name) {
  std::string initials;
  if (name.empty()) return initials;
  initials += name[0];
  for (std::size_t i = 1; i + 1 < name.size(); ++i) {
    if (name[i] == ' ') initials += name[i + 1];
  }
  return initials;
}

std::string UsedCodes::StoredForm(std::string_view code) const {
  std::string stored = FirstChars(code, field_width_);
  while (!stored.empty() && stored.back() == ' ') stored.pop_back();
  return stored;
}

bool UsedCodes::Contains(std::string_view code) const {
  return folded_.count(FoldCase(StoredForm(code))) != 0;
}

void UsedCodes::Add(std::string_view code) { folded_.insert(FoldCase(StoredForm(code))); }

namespace {

bool FitsField(std::string_view code, std::size_t width) {
  return FirstChars(code, width).size() == code.size();
}

}  // namespace

std::optional<std::string> MakeUniqueCode(std::string_view base, UsedCodes& used) {
  // Codes are built from the base as the table would store it: "Arte " (from
  // "Arte dramático") is "Arte", so it clashes with "Arte" and becomes "Arte1".
  const std::string stored_base = used.StoredForm(base);
  if (!used.Contains(stored_base)) {
    used.Add(stored_base);
    return stored_base;
  }
  const std::size_t width = used.field_width();
  // The count starts at 1 on every call, whatever was handed out before; the
  // numbers that earlier searches with this base found taken are skipped. Once
  // the number alone is wider than the field, no candidate can fit.
  unsigned long long& searched = used.searched_up_to_[FoldCase(stored_base)];
  for (unsigned long long k = searched + 1;; ++k) {
    const std::string number = std::to_string(k);
    if (number.size() > width) {
      searched = k - 1;
      return std::nullopt;
    }
    std::string candidate = stored_base + number;
    if (!FitsField(candidate, width)) {
      candidate = FirstChars(stored_base, width - number.size()) + number;
    }
    if (!used.Contains(candidate)) {
      searched = k;
      used.Add(candidate);
      return candidate;
    }
  }
}

}  // namespace pontexa::to_horaplan
