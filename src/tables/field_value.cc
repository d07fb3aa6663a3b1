#include "tables/field_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/numbers.h"
#include "tables/messages.h"

namespace pontexa::tables {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\0'; }

std::string_view CutBlanks(std::string_view raw) {
  while (!raw.empty() && IsBlank(raw.front())) raw.remove_prefix(1);
  return CutTrailingBlanks(raw);
}

[[noreturn]] void NotFloat(std::string_view text) {
  throw Error(messages::NotAFloat(Utf8FromSystem(text)));
}

[[noreturn]] void NotInteger(std::string_view text) {
  throw Error(messages::NotAnInteger(Utf8FromSystem(text)));
}

// A double that is a whole number in the range of 64-bit integers, as digits.
std::string WholeDigits(double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
  return std::string(buffer, result.ptr);
}

// The common stored form, [-]digits[.digits] with at most 15 digits, read
// without the general reader: the digits are exact in a double and so is the
// power of ten, so one division rounds correctly.
std::optional<double> PlainDecimal(std::string_view text) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::int64_t digits = 0;
  int count = 0;
  int decimals = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++count > 15) return std::nullopt;
      digits = digits * 10 + (c - '0');
      if (point) ++decimals;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (count == 0) return std::nullopt;
  const double value = static_cast<double>(digits) / kPowers[decimals];
  return negative ? -value : value;
}

}  // namespace

std::string_view CutTrailingBlanks(std::string_view raw) {
  while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
  return raw;
}

std::optional<double> StoredNumber(std::string_view raw) {
  std::string_view text = CutBlanks(raw);
  if (text.empty()) return std::nullopt;
  if (auto value = PlainDecimal(text)) return value;
  if (auto value = ParseDecimal(text, '.')) return value;
  if (auto value = ParseDecimal(text, ',')) return value;
  NotFloat(text);
}

std::string TextOfStored(StoredKind kind, std::string_view stored, char decimal_separator) {
  if (kind == StoredKind::kText) return std::string(stored);
  std::optional<double> value;
  try {
    value = StoredNumber(stored);
  } catch (const Error&) {
    // A numeric field that holds no number (dBase writes asterisks on overflow)
    // reads as its own text.
    return std::string(CutBlanks(stored));
  }
  if (!value) return "";
  if (kind == StoredKind::kWhole && *value == std::floor(*value) && std::fabs(*value) < 9.2e18) {
    return WholeDigits(*value == 0 ? 0.0 : *value);
  }
  return FormatGeneral(*value, decimal_separator);
}

double FloatOfStored(StoredKind kind, std::string_view stored, char decimal_separator) {
  if (kind == StoredKind::kText) {
    if (auto value = ParseDecimal(stored, decimal_separator)) return *value;
    NotFloat(stored);
  }
  return StoredNumber(stored).value_or(0.0);
}

std::int32_t IntegerOfStored(StoredKind kind, std::string_view stored, char decimal_separator) {
  (void)decimal_separator;
  if (kind == StoredKind::kText) {
    if (auto value = ParseInteger(stored)) return *value;
    NotInteger(stored);
  }
  std::optional<double> value;
  try {
    value = StoredNumber(stored);
  } catch (const Error&) {
    NotInteger(CutBlanks(stored));
  }
  if (!value) return 0;
  // rint rounds a half to the even neighbour in the default rounding mode.
  const double rounded = std::rint(*value);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) NotInteger(CutBlanks(stored));
  return static_cast<std::int32_t>(rounded);
}

std::optional<std::string> NumberField(double value, int width, int decimals) {
  if (!std::isfinite(value) || width <= 0) return std::nullopt;
  for (int places = decimals; places >= 0; --places) {
    char buffer[400];
    std::to_chars_result result;
    if (value == std::floor(value) && std::abs(value) < 1e15) {
      // A whole number, the rule in these fields: the same digits without the
      // general conversion, which is slow.
      result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value));
      if (result.ec == std::errc() && places > 0) {
        *result.ptr++ = '.';
        result.ptr = std::fill_n(result.ptr, places, '0');
      }
    } else {
      result =
          std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, places);
    }
    if (result.ec != std::errc()) return std::nullopt;
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    if (text == "-0" ||
        (text.starts_with("-0.") && text.find_first_not_of("0", 3) == std::string_view::npos)) {
      text.remove_prefix(1);  // a negative value that rounds to zero is stored as zero
    }
    if (text.size() <= static_cast<std::size_t>(width)) {
      return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + std::string(text);
    }
  }
  return std::nullopt;
}

}  // namespace pontexa::tables
