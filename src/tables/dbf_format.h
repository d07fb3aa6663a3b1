#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tables/field_layout.h"

namespace pontexa::tables {

// The pieces of the dBase file format that this program writes: a 32-byte file
// header, one 32-byte descriptor per field and a terminator byte, then the
// records one after another, each a deletion flag and the fields' text, and an
// end-of-file byte after the last record. Numbers are stored little-endian.
inline constexpr int kFileHeaderSize = 32;
inline constexpr int kFieldDescriptorSize = 32;
inline constexpr char kHeaderTerminator = 0x0D;
inline constexpr char kEndOfFile = 0x1A;
inline constexpr char kDeletedFlag = '*';

// Where the file header keeps the date of the last change (three bytes: years
// since 1900, month, day), followed by the row count (four bytes).
inline constexpr int kDateOffset = 1;

// The physical form of the fields of tables this program creates: text as
// character fields of their width, integer as N(11,0) and float as N(20,6).
inline constexpr int kIntegerWidth = 11;
inline constexpr int kFloatWidth = 20;
inline constexpr int kFloatDecimals = 6;

// The day a table was last changed, as dBase headers store it.
struct HeaderDate {
  int year = 0;  // full year; stored as years since 1900, kept within 1900 to 2155
  int month = 1;
  int day = 1;
};
HeaderDate Today();

// The bytes of a new dBase table (version 3, language driver 0x57 for
// Windows-1252, no index flag, end-of-file byte) with these fields and no rows.
// `layout` holds 1 to 255 fields, named in at most 10 characters, text widths
// 1 to 254, as TableStore checks before it asks.
std::string NewTableImage(const Layout& layout, HeaderDate date);

// The seven header bytes from kDateOffset: the date and the row count.
std::string DateAndRowCount(HeaderDate date, std::uint32_t rows);

}  // namespace pontexa::tables
