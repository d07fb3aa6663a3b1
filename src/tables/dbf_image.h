#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "tables/field_layout.h"
#include "tables/table_file.h"
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

// An open table file worked on through the dBase engine. Stored records are
// read from the file in large blocks; appended rows collect in memory and go
// to the file a block at a time, each block followed by the header's row count
// of the rows it completes; the last rows and the final header go at Finish.
// When a write fails (a full disk) the file is cut back to the rows wholly
// written, which the header then counts, and the Error names the file; the
// image writes nothing more after that.
class DbfImage {
 public:
  // `file` outlives the image; its header passed ReadTableHeader, which gave
  // `header` from `start`, the first bytes of the file.
  DbfImage(const LockedFile& file, std::string_view start, const TableHeader& header);
  ~DbfImage();
  DbfImage(const DbfImage&) = delete;
  DbfImage& operator=(const DbfImage&) = delete;

  std::int64_t record_count() const;
  // The record's bytes (deletion flag first), valid until the next call.
  const char* Record(std::int64_t index);
  // Appends a record of exactly the header's record length; Error naming the
  // file when a block cannot be written, and ever after.
  void AppendRecord(std::string_view record, HeaderDate date);
  // Writes the rows still in memory, then the header with the new row count.
  // The image is unusable afterwards. Error naming the file on failure; nothing
  // after an earlier write failure, which has been reported.
  void Finish();

  struct Engine;

 private:
  std::unique_ptr<Engine> engine_;
};

}  // namespace pontexa::tables
