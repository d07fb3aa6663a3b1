#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pontexa::tables {

// How a stored field is read: character, date, logical and any other type as
// text; numeric (N, F) as a whole number when it has no decimals, else as a
// number with fraction.
enum class StoredKind { kText, kWhole, kFraction };

struct StoredField {
  std::string name;  // as in the file, upper or lower case
  char type = 'C';   // the dBase type letter
  int offset = 0;    // from the start of the record; byte 0 is the deletion flag
  int width = 0;
  int decimals = 0;
  StoredKind kind = StoredKind::kText;
};

// The checked header of a dBase III, IV or V table file.
struct TableHeader {
  unsigned char version = 0;
  std::int64_t row_count = 0;  // rows stored, those marked deleted included
  int header_length = 0;
  int record_length = 0;
  unsigned char language_driver = 0;
  int code_page = 1252;  // Windows code page of the stored text
  std::vector<StoredField> fields;
};

// The most a header can take: the file header, 2046 field descriptors and the
// terminator fill the 16-bit header length.
inline constexpr std::size_t kMaxHeaderBytes = 65535;

// Checks the header of a table file and describes it. `start` holds the first
// bytes of the file (all of them, or at least kMaxHeaderBytes); `file_size` is
// the size of the whole file. Raises Error naming `path` when the file is not a
// dBase table this program reads (dBase 7 included), when the header is damaged
// or when the file holds fewer rows than the header claims. A header that
// passes describes records that all lie within the file.
TableHeader ReadTableHeader(std::string_view start, std::uint64_t file_size,
                            const std::filesystem::path& path);

// The Windows code page of a dBase language driver byte; no driver (0) and
// drivers this program does not know mean 1252.
int CodePageOfLanguageDriver(unsigned char driver);

}  // namespace pontexa::tables
