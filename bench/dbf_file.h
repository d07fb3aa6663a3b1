#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pontexa::bench {

// A plain dBase III table writer and reader, independent of the product's table
// store: the benchmark plays Horaplan with it, filling DIASHORAST and SOLUC and
// reading the codes of the catalogue tables. Text is stored as given (bytes of
// the table's code page).

struct DbfField {
  std::string name;  // up to 10 characters
  char type = 'C';   // 'C' text, left aligned; 'N' number, right aligned
  int width = 1;     // 1 to 254
  int decimals = 0;  // 'N' only
};

class DbfWriter {
 public:
  // `language_driver` is the code-page mark of the header (byte 29), 0x03 for
  // Windows ANSI (1252).
  DbfWriter(std::vector<DbfField> fields, std::uint8_t language_driver);

  // One value per field, already formatted; text longer than its field is cut.
  // Throws std::invalid_argument when the number of values is wrong.
  void AddRow(const std::vector<std::string>& values);
  std::size_t RowCount() const { return rows_; }

  // The whole file: header, field descriptors, rows and the end-of-file mark.
  std::string Bytes() const;
  // Writes Bytes() to path; throws std::runtime_error on failure.
  void Save(const std::filesystem::path& path) const;

 private:
  std::vector<DbfField> fields_;
  std::uint8_t language_driver_;
  int record_size_ = 1;
  std::size_t rows_ = 0;
  std::string records_;
};

// A whole table read into memory.
class DbfTable {
 public:
  // Throws std::runtime_error naming the file when it is missing or not a dBase table.
  static DbfTable Read(const std::filesystem::path& path);
  static DbfTable FromBytes(std::string bytes, const std::string& name_for_errors);

  const std::vector<DbfField>& fields() const { return fields_; }
  std::uint8_t language_driver() const { return language_driver_; }
  // Rows marked deleted are left out.
  std::size_t RowCount() const { return rows_.size(); }

  // The field of every row, trailing blanks cut. Throws std::runtime_error when
  // the table has no such field (names compared without regard to letter case).
  std::vector<std::string> Column(std::string_view field) const;

 private:
  std::string name_;
  std::string bytes_;
  std::vector<DbfField> fields_;
  std::vector<int> offsets_;
  std::vector<std::size_t> rows_;  // offset of each live record in bytes_
  std::uint8_t language_driver_ = 0;
};

}  // namespace pontexa::bench
