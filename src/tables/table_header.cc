#include "tables/table_header.h"

#include <climits>

#include "platform/error.h"
#include "tables/dbf_format.h"
#include "tables/messages.h"

namespace pontexa::tables {
namespace {

unsigned Byte(std::string_view image, std::size_t at) {
  return static_cast<unsigned char>(image[at]);
}

unsigned Word(std::string_view image, std::size_t at) {
  return Byte(image, at) | Byte(image, at + 1) << 8;
}

std::uint32_t DoubleWord(std::string_view image, std::size_t at) {
  return Word(image, at) | static_cast<std::uint32_t>(Word(image, at + 2)) << 16;
}

[[noreturn]] void Damaged(const std::filesystem::path& path, const std::string& reason) {
  throw Error(messages::Damaged(path, reason));
}

// Version bytes of dBase III, IV and V and of the FoxPro tables that share their
// layout. dBase 7 (0x04, 0x8C with memo) has longer field descriptors and is
// refused by name.
bool IsReadableVersion(unsigned char version) {
  switch (version) {
    case 0x03:  // dBase III, IV, V without memo
    case 0x30:  // Visual FoxPro
    case 0x31:
    case 0x32:
    case 0x43:  // dBase IV SQL
    case 0x63:
    case 0x83:  // dBase III with memo
    case 0x8B:  // dBase IV with memo
    case 0x8E:
    case 0xCB:
    case 0xF5:  // FoxPro with memo
    case 0xFB:
      return true;
    default:
      return false;
  }
}

bool IsPrintableName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

int CodePageOfLanguageDriver(unsigned char driver) {
  switch (driver) {
    case 0x01:
    case 0x09:
    case 0x0B:
    case 0x0D:
    case 0x0F:
    case 0x11:
    case 0x15:
    case 0x18:
    case 0x19:
    case 0x1B:
      return 437;
    case 0x02:
    case 0x0A:
    case 0x0E:
    case 0x10:
    case 0x12:
    case 0x14:
    case 0x16:
    case 0x1A:
    case 0x1D:
    case 0x25:
    case 0x37:
      return 850;
    case 0x1F:
    case 0x22:
    case 0x23:
    case 0x40:
    case 0x64:
    case 0x87:
      return 852;
    case 0x26:
    case 0x65:
      return 866;
    case 0x08:
    case 0x17:
    case 0x66:
      return 865;
    case 0x1C:
      return 863;
    case 0x24:
      return 860;
    case 0x67:
      return 861;
    case 0x6A:
    case 0x86:
      return 737;
    case 0x6B:
    case 0x88:
      return 857;
    case 0x13:
    case 0x7B:
      return 932;
    case 0x4D:
    case 0x7A:
      return 936;
    case 0x4E:
    case 0x79:
      return 949;
    case 0x4F:
    case 0x78:
      return 950;
    case 0x50:
    case 0x7C:
      return 874;
    case 0xC8:
      return 1250;
    case 0xC9:
      return 1251;
    case 0xCB:
      return 1253;
    case 0xCA:
      return 1254;
    case 0xCC:
      return 1257;
    default:  // 0x03, 0x57, 0x58, 0x59: Windows ANSI; 0 and unknown drivers too
      return 1252;
  }
}

TableHeader ReadTableHeader(std::string_view image, std::uint64_t file_size,
                            const std::filesystem::path& path) {
  if (image.size() < kFileHeaderSize) {
    throw Error(messages::TooShortForDbase(path));
  }
  TableHeader header;
  header.version = static_cast<unsigned char>(image[0]);
  if (header.version == 0x04 || header.version == 0x8C) {
    throw Error(messages::Dbase7(path));
  }
  if (!IsReadableVersion(header.version)) {
    throw Error(messages::UnreadableVersion(path));
  }
  const std::uint32_t stored_rows = DoubleWord(image, 4);
  header.header_length = static_cast<int>(Word(image, 8));
  header.record_length = static_cast<int>(Word(image, 10));
  header.language_driver = static_cast<unsigned char>(image[29]);
  header.code_page = CodePageOfLanguageDriver(header.language_driver);

  if (header.header_length < kFileHeaderSize + kFieldDescriptorSize) {
    Damaged(path, messages::NoFieldsDescribed());
  }
  if (static_cast<std::size_t>(header.header_length) > image.size() ||
      static_cast<std::uint64_t>(header.header_length) > file_size) {
    Damaged(path, messages::ShorterThanHeader());
  }

  // Field descriptors run up to the terminator byte or to the end of the header.
  int offset = 1;
  for (int at = kFileHeaderSize; at + kFieldDescriptorSize <= header.header_length;
       at += kFieldDescriptorSize) {
    if (image[at] == kHeaderTerminator) break;
    std::string_view raw_name = image.substr(at, 11);
    raw_name = raw_name.substr(0, raw_name.find('\0'));
    while (!raw_name.empty() && raw_name.back() == ' ') raw_name.remove_suffix(1);
    StoredField field;
    field.name = std::string(raw_name);
    field.type = static_cast<char>(Byte(image, at + 11));
    field.width = static_cast<int>(Byte(image, at + 16));
    field.decimals = static_cast<int>(Byte(image, at + 17));
    field.offset = offset;
    if (!IsPrintableName(field.name)) {
      Damaged(path, messages::FieldWithoutValidName(header.fields.size() + 1));
    }
    if (field.width == 0) {
      Damaged(path, messages::FieldOfZeroWidth(header.fields.size() + 1));
    }
    if (field.type == 'N' || field.type == 'F') {
      if (field.decimals >= field.width && field.decimals != 0) {
        Damaged(path, messages::MoreDecimalsThanWidth(header.fields.size() + 1));
      }
      field.kind = field.decimals == 0 ? StoredKind::kWhole : StoredKind::kFraction;
    } else {
      field.decimals = 0;
      field.kind = StoredKind::kText;
    }
    offset += field.width;
    header.fields.push_back(std::move(field));
  }
  if (header.fields.empty()) Damaged(path, messages::NoFieldsDescribed());
  if (offset != header.record_length) {
    Damaged(path, messages::RecordLengthMismatch());
  }

  // The rows the header claims must all be in the file; a missing end-of-file
  // marker is no damage.
  const std::uint64_t needed =
      static_cast<std::uint64_t>(header.header_length) +
      static_cast<std::uint64_t>(stored_rows) * static_cast<std::uint64_t>(header.record_length);
  if (stored_rows > static_cast<std::uint32_t>(INT_MAX - 1) || needed > file_size) {
    Damaged(path, messages::RowsMissing(stored_rows));
  }
  header.row_count = stored_rows;
  return header;
}

}  // namespace pontexa::tables
