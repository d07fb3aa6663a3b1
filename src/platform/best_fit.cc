#include "platform/best_fit.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace pontexa {
namespace {

struct Entry {
  char16_t code_unit;
  unsigned char byte;
};

// The WCTABLE section of data/bestfit1252.txt, in the order it lists them.
constexpr Entry kListed[] = {
#include "platform/best_fit_1252.inc"
};

constexpr bool ByCodeUnit(const Entry& a, const Entry& b) { return a.code_unit < b.code_unit; }

// The same entries sorted for a binary search, at compile time.
constexpr auto kSorted = [] {
  std::array<Entry, std::size(kListed)> sorted{};
  std::copy(std::begin(kListed), std::end(kListed), sorted.begin());
  std::sort(sorted.begin(), sorted.end(), ByCodeUnit);
  return sorted;
}();

static_assert(std::adjacent_find(kSorted.begin(), kSorted.end(),
                                 [](const Entry& a, const Entry& b) {
                                   return a.code_unit == b.code_unit;
                                 }) == kSorted.end(),
              "the best-fit table lists a code point twice");

}  // namespace

char BestFit1252(char32_t code_point) {
  if (code_point > 0xFFFF) return '?';
  const Entry wanted{static_cast<char16_t>(code_point), 0};
  const auto found = std::lower_bound(kSorted.begin(), kSorted.end(), wanted, ByCodeUnit);
  if (found == kSorted.end() || found->code_unit != wanted.code_unit) return '?';
  return static_cast<char>(found->byte);
}

}  // namespace pontexa
