#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tables/field_spec.h"
#include "tables/table_header.h"

namespace pontexa::tables {

// The day a table was last changed, as dBase headers store it.
struct HeaderDate {
  int year = 0;  // full year, 1900 to 2155
  int month = 1;
  int day = 1;
};
HeaderDate Today();

// The physical form of the fields of tables this program creates: text as
// character fields of their width, integer as N(11,0) and float as N(20,6).
inline constexpr int kIntegerWidth = 11;
inline constexpr int kFloatWidth = 20;
inline constexpr int kFloatDecimals = 6;

// The bytes of a new dBase table (version 3, language driver 0x57 for
// Windows-1252, no index flag, end-of-file marker) with these fields and no rows.
// Raises Error when the layout cannot be stored.
std::string NewTableImage(const Layout& layout, HeaderDate date);

// A whole table file held in memory and worked on through the dBase engine:
// records are read from memory and appended rows collect there until
// TakeChanges hands the changed byte ranges over for writing.
class DbfImage {
 public:
  // `bytes` must have passed ReadTableHeader, which gave `header`.
  DbfImage(std::string bytes, const TableHeader& header, const std::filesystem::path& path);
  ~DbfImage();
  DbfImage(const DbfImage&) = delete;
  DbfImage& operator=(const DbfImage&) = delete;

  std::int64_t record_count() const;
  // The record's bytes (deletion flag first), valid until the next call.
  const char* Record(std::int64_t index);
  bool IsDeleted(std::int64_t index);
  // Appends a record of exactly the header's record length.
  void AppendRecord(std::string_view record, HeaderDate date);
  // Completes the header (row count, date) and returns every byte range changed
  // since the image was loaded, as (offset, bytes). The image is unusable after.
  std::vector<std::pair<std::uint64_t, std::string>> TakeChanges();

  struct Engine;

 private:
  std::unique_ptr<Engine> engine_;
  std::filesystem::path path_;
};

}  // namespace pontexa::tables
