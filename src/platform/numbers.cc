#include "platform/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pontexa {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text, char decimal_separator) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;

  // The number is rebuilt with "." so that from_chars reads it whatever the locale.
  std::string plain;
  plain.reserve(n + 2);
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain.push_back('-');
    ++i;
  }
  bool any_mantissa = false;
  bool any_digit = false;
  long digits_before_point = 0;
  bool leading = true;  // still within leading zeros of the whole part
  while (i < n && IsDigit(text[i])) {
    if (!(leading && text[i] == '0')) {
      leading = false;
      ++digits_before_point;
    }
    plain.push_back(text[i++]);
    any_mantissa = any_digit = true;
  }
  if (i < n && text[i] == decimal_separator) {
    any_mantissa = true;  // a lone separator counts as 0
    plain.push_back('.');
    ++i;
    while (i < n && IsDigit(text[i])) {
      plain.push_back(text[i++]);
      any_digit = true;
    }
  }
  if (!any_mantissa) return std::nullopt;
  if (!any_digit) plain.push_back('0');

  long exponent = 0;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    plain.push_back('e');
    ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      plain.push_back(text[i++]);
    }
    if (i >= n || !IsDigit(text[i])) return std::nullopt;
    while (i < n && IsDigit(text[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      plain.push_back(text[i++]);
    }
    if (negative) exponent = -exponent;
  }
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return std::nullopt;

  double value = 0;
  auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too small to hold is zero; too large is not a number we can keep.
    if (digits_before_point + exponent <= 0) return plain[0] == '-' ? -0.0 : 0.0;
    return std::nullopt;
  }
  if (error != std::errc() || end != plain.data() + plain.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < n && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= n) return std::nullopt;
  // Hexadecimal reaches the whole 32-bit pattern ($FFFFFFFF is -1); decimal
  // stays within the signed range.
  const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 2147483648LL : 2147483647LL);
  std::int64_t value = 0;
  for (; i < n; ++i) {
    int digit = base == 16 ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  if (base == 16) {
    auto bits = static_cast<std::uint32_t>(value);
    std::int32_t signed_value = static_cast<std::int32_t>(bits);
    return negative ? static_cast<std::int32_t>(0u - bits) : signed_value;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string FormatGeneral(double value, char decimal_separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // A whole number of up to 15 digits is its digits: the common case (hours,
  // intervals, counts), written without the general formatter.
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value)).ptr;
    return std::string(digits, end);
  }

  // Fifteen significant digits, rounded once: d.dddddddddddddde±x.
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));

  std::string out;
  std::size_t pos = 0;
  if (scientific[0] == '-') {
    out.push_back('-');
    pos = 1;
  }
  std::string digits;
  std::size_t e_pos = scientific.find('e');
  for (std::size_t k = pos; k < e_pos; ++k) {
    if (scientific[k] != '.') digits.push_back(scientific[k]);
  }
  int exponent = 0;
  std::from_chars(scientific.data() + e_pos + 1 + (scientific[e_pos + 1] == '+'),
                  scientific.data() + scientific.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  if (exponent >= -4 && exponent < 15) {
    if (exponent >= 0) {
      const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
      } else {
        out += digits.substr(0, whole);
        out.push_back(decimal_separator);
        out += digits.substr(whole);
      }
    } else {
      out.push_back('0');
      out.push_back(decimal_separator);
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    }
    return out;
  }

  out.push_back(digits[0]);
  if (digits.size() > 1) {
    out.push_back(decimal_separator);
    out += digits.substr(1);
  }
  out.push_back('E');
  out += std::to_string(exponent);
  return out;
}

}  // namespace pontexa
