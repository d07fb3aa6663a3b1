#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "tables/dbf_format.h"
#include "tables/table_file.h"
#include "tables/table_header.h"

namespace pontexa::tables {

// The records of an open table file. Stored records are read from the file in
// large blocks; appended records collect in memory and go to the file a block
// at a time, each block followed by the end-of-file byte and by the header's
// date and row count of the rows it completes; the last records and the final
// header go at Finish. When a write fails (a full disk) the file is cut back to
// the rows wholly written, which the header then counts, and the Error names
// the file; nothing more is written after that.
class RecordFile {
 public:
  // `file` outlives the records; its header passed ReadTableHeader, which gave
  // `header`.
  RecordFile(const LockedFile& file, const TableHeader& header);
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  std::int64_t record_count() const { return static_cast<std::int64_t>(disk_rows_ + memory_rows_); }
  // The record's bytes (deletion flag first), valid until the next call; Error
  // naming the file when it cannot be read or lies past the last record.
  const char* Record(std::int64_t index);
  // Appends a record of exactly the header's record length, changed on `date`;
  // Error naming the file when a block cannot be written, and ever after.
  void AppendRecord(std::string_view record, HeaderDate date);
  // Writes the records still in memory, then the header's date and row count.
  // Does nothing when no record was appended, or after an earlier write
  // failure, which has been reported. Error naming the file on failure.
  void Finish();

 private:
  std::uint64_t DiskEnd() const { return header_length_ + disk_rows_ * record_length_; }
  std::uint64_t RowsBefore(std::uint64_t end) const;
  const char* Stored(std::uint64_t at);
  Status WriteDateAndRowCount(std::uint64_t rows) const;
  void WriteBlock(std::size_t count);
  [[noreturn]] void FailWrite(const Status& error, std::uint64_t reached);
  [[noreturn]] void WriteFailure() const;

  const LockedFile& file_;
  std::uint64_t header_length_ = 0;
  std::uint64_t record_length_ = 0;
  std::uint64_t disk_rows_ = 0;    // the rows in the file, stored and written since
  std::string memory_;             // the appended records not written yet
  std::uint64_t memory_rows_ = 0;  // how many they are
  std::vector<char> window_;       // a block of the records in the file, from window_start_
  std::uint64_t window_start_ = 0;
  HeaderDate date_;        // of the last change
  bool appended_ = false;  // a record has been appended
  Status write_error_;     // the failure that ended writing, ok while none
};

}  // namespace pontexa::tables
