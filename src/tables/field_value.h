#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tables/table_header.h"

namespace pontexa::tables {

// The reading rules of one stored field. For a text field `stored` is the text
// already in the system code page with its trailing blanks cut; for a numeric
// field it is the raw field as the file holds it. Failures raise Error with the
// text that was read.

// Text: as stored. Whole number: decimal digits, "-" in front when negative.
// Number with fraction: general number format with the regional separator.
// Blank numeric fields give "".
std::string TextOfStored(StoredKind kind, std::string_view stored, char decimal_separator);

// Text: decimal reading with the regional separator. Numbers: the value, 0 when blank.
double FloatOfStored(StoredKind kind, std::string_view stored, char decimal_separator);

// Text: whole-number reading. Whole number: the value. Number with fraction: the
// value rounded to the nearest whole number, a half to the even one. Blank
// numeric fields give 0; a value beyond 32 bits is a failure.
std::int32_t IntegerOfStored(StoredKind kind, std::string_view stored, char decimal_separator);

// The value of a raw numeric field: nothing when blank. Written with "." as
// dBase wants; a "," that some programs write under a comma locale is accepted.
// Raises Error when the field holds something that is not a number.
std::optional<double> StoredNumber(std::string_view raw);

// The text of a numeric field of this width and decimals holding `value`,
// right-aligned and exactly `width` long; fewer decimals when the whole part
// needs the room. Nothing when the value does not fit or is not finite.
std::optional<std::string> NumberField(double value, int width, int decimals);

// The raw field cut of its trailing blanks (and the NUL bytes some programs pad with).
std::string_view CutTrailingBlanks(std::string_view raw);

}  // namespace pontexa::tables
