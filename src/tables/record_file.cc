#include "tables/record_file.h"

#include <algorithm>

#include "platform/error.h"
#include "tables/messages.h"

namespace pontexa::tables {
namespace {

constexpr std::size_t kReadBlock = 256 * 1024;
constexpr std::size_t kWriteBlock = 1024 * 1024;

}  // namespace

RecordFile::RecordFile(const LockedFile& file, const TableHeader& header)
    : file_(file),
      header_length_(static_cast<std::uint64_t>(header.header_length)),
      record_length_(static_cast<std::uint64_t>(header.record_length)),
      disk_rows_(static_cast<std::uint64_t>(header.row_count)) {}

const char* RecordFile::Record(std::int64_t index) {
  if (index < 0 || index >= record_count()) {
    throw Error(messages::EngineCannotRead(file_.path(), ""));
  }
  const auto row = static_cast<std::uint64_t>(index);
  if (row >= disk_rows_) return memory_.data() + (row - disk_rows_) * record_length_;
  return Stored(header_length_ + row * record_length_);
}

// The record at `at` in the file, read through the window.
const char* RecordFile::Stored(std::uint64_t at) {
  if (at < window_start_ || at + record_length_ > window_start_ + window_.size()) {
    const std::uint64_t wanted = std::min<std::uint64_t>(
        std::max<std::uint64_t>(kReadBlock, record_length_), DiskEnd() - at);
    window_.resize(static_cast<std::size_t>(wanted));
    std::size_t got = 0;
    Status status = file_.ReadAt(at, window_.data(), window_.size(), &got);
    // The file shrank under us: another program cut it.
    if (status.ok() && got < record_length_) status = Status::Of(Status::Code::kOther);
    if (!status.ok()) {
      window_.clear();
      throw Error(messages::EngineCannotRead(file_.path(), status.text()));
    }
    window_.resize(got);
    window_start_ = at;
  }
  return window_.data() + (at - window_start_);
}

void RecordFile::AppendRecord(std::string_view record, HeaderDate date) {
  if (!write_error_.ok()) WriteFailure();
  if (record.size() != record_length_) {
    throw Error(messages::EngineCannotAppend(file_.path(), ""));
  }
  date_ = date;
  if (!appended_) memory_.reserve(kWriteBlock + record_length_);
  appended_ = true;
  memory_.append(record);
  ++memory_rows_;
  // The newest record stays in memory, where the caller reads it next.
  if (memory_.size() >= kWriteBlock) WriteBlock(memory_.size() - record_length_);
}

// Writes the first `count` bytes of the appended records, whole records, to
// the file, followed by an end-of-file byte that the next block overwrites, and
// then the header's count of the rows now in the file, so that a run cut short
// from here on leaves a table of them rather than one that readers disagree on.
void RecordFile::WriteBlock(std::size_t count) {
  const std::uint64_t start = DiskEnd();
  std::size_t written = 0;
  Status status = file_.TryWriteAt(start, std::string_view(memory_).substr(0, count), &written);
  if (status.ok()) status = file_.TryWriteAt(start + count, std::string_view(&kEndOfFile, 1));
  if (!status.ok()) FailWrite(status, start + written);
  disk_rows_ += count / record_length_;
  memory_rows_ -= count / record_length_;
  memory_.erase(0, count);
  if (Status error = WriteDateAndRowCount(disk_rows_); !error) FailWrite(error, DiskEnd());
}

void RecordFile::Finish() {
  // After a failed write the file already holds what could be kept, and the
  // failure has been reported.
  if (!appended_ || !write_error_.ok()) return;
  // Records first, then the header that counts them.
  const std::uint64_t start = DiskEnd();
  const std::uint64_t rows = disk_rows_ + memory_rows_;
  memory_.push_back(kEndOfFile);
  std::size_t written = 0;
  if (Status error = file_.TryWriteAt(start, memory_, &written); !error) {
    FailWrite(error, start + written);
  }
  memory_.clear();
  memory_rows_ = 0;
  disk_rows_ = rows;
  if (Status error = WriteDateAndRowCount(rows); !error) FailWrite(error, DiskEnd() + 1);
}

// The rows that lie wholly in the first `end` bytes of the file.
std::uint64_t RecordFile::RowsBefore(std::uint64_t end) const {
  return end < header_length_ ? 0 : (end - header_length_) / record_length_;
}

Status RecordFile::WriteDateAndRowCount(std::uint64_t rows) const {
  return file_.TryWriteAt(kDateOffset, DateAndRowCount(date_, static_cast<std::uint32_t>(rows)));
}

// A write failed with only the first `reached` bytes of the file in place.
// The file is cut back to the rows wholly written and its header counts them,
// so that every reader finds the same rows, those that reached the disk. A
// disk that is full may refuse the end-of-file byte or the count as well;
// cutting the file first frees the room they need. Nothing can be written
// afterwards.
void RecordFile::FailWrite(const Status& error, std::uint64_t reached) {
  write_error_ = error;
  const std::uint64_t rows = RowsBefore(reached);
  const std::uint64_t end = header_length_ + rows * record_length_;
  // Every step keeps the count on disk within the rows on disk, so that even a
  // run cut short here leaves a table that reads the same everywhere.
  if (file_.TryTruncate(end).ok()) (void)file_.TryWriteAt(end, std::string_view(&kEndOfFile, 1));
  (void)WriteDateAndRowCount(rows);
  WriteFailure();
}

void RecordFile::WriteFailure() const {
  throw Error(messages::CannotWriteTable(file_.path(), write_error_.text()));
}

}  // namespace pontexa::tables
