#include "tables/record_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/error_message.h"
#include "support/temp_dir.h"

namespace pontexa::tables {
namespace {

using namespace std::string_literals;
using testing::MessageOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A table another program wrote: dBase III with memo, code page 437, last
// changed 1999-03-04, bytes in the reserved part of its header, fields A (3)
// and B (2), the second of its three rows marked deleted, no end-of-file byte.
const std::string kForeignHeader =
    "\x83\x63\x03\x04\x03\x00\x00\x00\x61\x00\x06\x00"s + std::string(16, '\xEE') +
    "\x00\x01\x00\x00"s + "A\0\0\0\0\0\0\0\0\0\0C\0\0\0\0\x03\0"s + std::string(14, '\0') +
    "B\0\0\0\0\0\0\0\0\0\0C\0\0\0\0\x02\0"s + std::string(14, '\0') + "\x0D";
const std::string kForeignRows = " uno12*dos34 tre56";

int Word(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

class RecordFileTest : public ::testing::Test {
 protected:

  // Opens the table at path_ as the store does, with its checked header.
  void Open() {
    file_ =
        std::make_unique<LockedFile>(LockedFile::OpenExisting(path_, HoldKind::kShared, *scan_));
    const std::string bytes = ReadFile(path_);
    header_ = ReadTableHeader(bytes, bytes.size(), path_);
    records_ = std::make_unique<RecordFile>(*file_, header_);
  }

  std::string RecordAt(std::int64_t index) {
    return std::string(records_->Record(index), static_cast<std::size_t>(header_.record_length));
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_ / "T.DBF";
  std::unique_ptr<OpenFileScan> scan_ = Env::Current().NewOpenFileScan();
  std::unique_ptr<LockedFile> file_;
  TableHeader header_;
  std::unique_ptr<RecordFile> records_;
};

TEST_F(RecordFileTest, StoredRecordsComeBackAsTheFileHoldsThem) {
  WriteFile(path_, kForeignHeader + kForeignRows);
  Open();
  ASSERT_EQ(records_->record_count(), 3);
  EXPECT_EQ(RecordAt(2), " tre56");
  EXPECT_EQ(RecordAt(1), "*dos34");  // the deletion flag is the caller's to skip
  EXPECT_EQ(RecordAt(0), " uno12");
  const std::string past = "Error del motor de tablas al leer la tabla '" + path_.string() + "'";
  EXPECT_EQ(MessageOf([&] { records_->Record(3); }), past);
  EXPECT_EQ(MessageOf([&] { records_->Record(-1); }), past);
}

// Appending rewrites nothing of another program's table but the date and the
// row count; its version, code page and reserved bytes stay as they were.
TEST_F(RecordFileTest, AppendingChangesOnlyTheDateTheCountAndTheEnd) {
  WriteFile(path_, kForeignHeader + kForeignRows);
  Open();
  records_->AppendRecord(" cua78", {2026, 12, 9});
  records_->AppendRecord(" cin90", {2026, 12, 9});
  EXPECT_EQ(RecordAt(4), " cin90");
  EXPECT_EQ(RecordAt(3), " cua78");
  EXPECT_EQ(RecordAt(0), " uno12");
  records_->Finish();
  std::string expected = kForeignHeader + kForeignRows + " cua78 cin90\x1A";
  expected.replace(1, 7, "\x7E\x0C\x09\x05\x00\x00\x00"s);
  EXPECT_EQ(ReadFile(path_), expected);
}

TEST_F(RecordFileTest, ReadingWithoutAppendingWritesNothing) {
  WriteFile(path_, kForeignHeader + kForeignRows);
  Open();
  RecordAt(1);
  records_->Finish();
  EXPECT_EQ(ReadFile(path_), kForeignHeader + kForeignRows);
}

TEST_F(RecordFileTest, RecordOfAnotherLengthIsRefusedAndNothingWritten) {
  WriteFile(path_, kForeignHeader + kForeignRows);
  Open();
  const std::string refused =
      "Error del motor de tablas al añadir una fila a la tabla '" + path_.string() + "'";
  EXPECT_EQ(MessageOf([&] { records_->AppendRecord(" uno1", {2026, 12, 9}); }), refused);
  EXPECT_EQ(MessageOf([&] { records_->AppendRecord(" uno123", {2026, 12, 9}); }), refused);
  EXPECT_EQ(records_->record_count(), 3);
  records_->Finish();
  EXPECT_EQ(ReadFile(path_), kForeignHeader + kForeignRows);
}

// Another program cutting the file while it is open must end in an error,
// never in bytes from beyond what was read.
TEST_F(RecordFileTest, FileCutShortWhileOpenIsAReadError) {
  WriteFile(path_, kForeignHeader + kForeignRows);
  Open();
  std::filesystem::resize_file(path_, kForeignHeader.size() + 6 + 2);
  EXPECT_EQ(RecordAt(0), " uno12");
  const std::string message = MessageOf([&] { records_->Record(1); });
  EXPECT_EQ(
      message.rfind("Error del motor de tablas al leer la tabla '" + path_.string() + "': ", 0), 0u)
      << message;
}

// Records go to the file a block at a time while appending: between blocks the
// file is a whole table of the rows written so far, and every row reads back,
// whether it is in the file already or still in memory.
TEST_F(RecordFileTest, BlocksWrittenWhileAppendingLeaveAWholeTableEachTime) {
  const std::string image = NewTableImage({{"T", FieldType::kText, 200}}, {2026, 12, 9});
  WriteFile(path_, image);
  Open();
  const auto record = [](int i) {
    std::string bytes(1, ' ');
    bytes += std::to_string(i);
    bytes.resize(201, '.');
    return bytes;
  };
  constexpr int kRows = 12'000;  // 2.4 MB: two blocks and the rest
  for (int i = 0; i < kRows / 2; ++i) records_->AppendRecord(record(i), {2026, 12, 10});
  {
    const std::string bytes = ReadFile(path_);
    const auto counted = static_cast<std::size_t>(Word(bytes, 4) | Word(bytes, 6) << 16);
    EXPECT_GT(counted, 0u);
    EXPECT_LT(counted, static_cast<std::size_t>(kRows / 2));
    ASSERT_EQ(bytes.size(), image.size() + counted * 201);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(bytes.substr(bytes.size() - 202, 201), record(static_cast<int>(counted) - 1));
  }
  for (int i = kRows / 2; i < kRows; ++i) records_->AppendRecord(record(i), {2026, 12, 10});
  int wrong = 0;
  for (int i = 0; i < kRows; ++i) wrong += RecordAt(i) != record(i);
  EXPECT_EQ(wrong, 0);
  records_->Finish();
  const std::string bytes = ReadFile(path_);
  ASSERT_EQ(bytes.size(), image.size() + kRows * 201);
  EXPECT_EQ(bytes.substr(1, 7), "\x7E\x0C\x0A\xE0\x2E\x00\x00"s);  // 12000 rows
  EXPECT_EQ(bytes.substr(8, image.size() - 9), image.substr(8, image.size() - 9));
  EXPECT_EQ(bytes.substr(image.size() - 1 + 4321 * 201, 201), record(4321));
  EXPECT_EQ(bytes.back(), '\x1A');
}

}  // namespace
}  // namespace pontexa::tables
