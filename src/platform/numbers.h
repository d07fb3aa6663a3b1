#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pontexa {

// Numbers are read and written by our own code with the decimal separator
// passed in; nothing depends on the process's C locale.

// Decimal reading: optional leading spaces, optional sign, digits, optionally the
// separator and more digits, optionally an exponent, optional trailing spaces.
// The part before the exponent must not be empty, though a lone separator counts
// as 0. Nothing for a text that is not such a number or is out of range.
std::optional<double> ParseDecimal(std::string_view text, char decimal_separator);

// Whole-number reading: optional leading spaces, optional sign, decimal digits,
// or "$" / "0x" followed by hexadecimal digits. Nothing when the text is not a
// 32-bit whole number.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// General number format: at most 15 significant digits, trailing zeros and a
// trailing separator dropped; fixed notation for magnitudes from 0.0001 with at
// most 15 digits before the separator, scientific notation with "E" otherwise.
std::string FormatGeneral(double value, char decimal_separator);

}  // namespace pontexa
