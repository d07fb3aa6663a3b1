#include "to_horaplan/hours.h"

#include <cmath>
#include <cstdio>

#include "platform/numbers.h"

namespace pontexa::to_horaplan {

std::optional<double> ReadHours(std::string_view text) {
  std::string normalized(text);
  for (char& c : normalized) {
    if (c == ',') c = '.';
  }
  return ParseDecimal(normalized, '.');
}

std::string SesionesText(double hours) {
  constexpr int kRunLength = 13;
  if (!std::isfinite(hours)) return "";
  const double n = std::ceil(hours);
  if (n <= 0) return "";
  if (n <= kRunLength) return std::string(static_cast<std::size_t>(n), '1');
  // "%.0f" writes a whole number in plain digits under any locale; exact for
  // every count of hours a table can hold.
  char prefix[400];
  std::snprintf(prefix, sizeof prefix, "%.0f", n - kRunLength);
  return prefix + std::string(kRunLength, '1');
}

}  // namespace pontexa::to_horaplan
