#include "tables/dbf_format.h"

#include <algorithm>
#include <ctime>

#include "platform/env.h"

namespace pontexa::tables {
namespace {

constexpr char kVersion3 = 0x03;
// Windows ANSI (1252), declared in the header and nowhere else.
constexpr char kLanguageDriver1252 = 0x57;
constexpr int kLanguageDriverOffset = 29;
constexpr int kHeaderLengthOffset = 8;
constexpr int kRecordLengthOffset = 10;
// Within a field descriptor.
constexpr std::size_t kNameLength = 10;
constexpr int kTypeOffset = 11;
constexpr int kWidthOffset = 16;
constexpr int kDecimalsOffset = 17;

void PutWord(std::string& image, std::size_t at, unsigned value) {
  image[at] = static_cast<char>(value & 0xFF);
  image[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

int StoredWidth(const FieldLayout& field) {
  switch (field.type) {
    case FieldType::kInteger:
      return kIntegerWidth;
    case FieldType::kFloat:
      return kFloatWidth;
    case FieldType::kText:
      break;
  }
  return field.width;
}

// Name padded with NUL bytes, type letter, width and decimals; the rest zero.
void PutDescriptor(std::string& image, std::size_t at, const FieldLayout& field) {
  const std::string_view name = std::string_view(field.name).substr(0, kNameLength);
  image.replace(at, name.size(), name);
  image[at + kTypeOffset] = field.type == FieldType::kText ? 'C' : 'N';
  image[at + kWidthOffset] = static_cast<char>(StoredWidth(field));
  image[at + kDecimalsOffset] =
      static_cast<char>(field.type == FieldType::kFloat ? kFloatDecimals : 0);
}

}  // namespace

HeaderDate Today() {
  Env& env = Env::Current();
  const std::tm local = env.LocalTime(env.Now());
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string DateAndRowCount(HeaderDate date, std::uint32_t rows) {
  std::string bytes(7, '\0');
  bytes[0] = static_cast<char>(std::clamp(date.year - 1900, 0, 255));
  bytes[1] = static_cast<char>(date.month);
  bytes[2] = static_cast<char>(date.day);
  for (int i = 0; i < 4; ++i) bytes[3 + i] = static_cast<char>(rows >> (8 * i) & 0xFF);
  return bytes;
}

std::string NewTableImage(const Layout& layout, HeaderDate date) {
  const std::size_t header_length = kFileHeaderSize + layout.size() * kFieldDescriptorSize + 1;
  unsigned record_length = 1;  // the deletion flag
  for (const FieldLayout& field : layout) {
    record_length += static_cast<unsigned>(StoredWidth(field));
  }

  std::string image(header_length + 1, '\0');
  image[0] = kVersion3;
  const std::string date_and_count = DateAndRowCount(date, 0);
  image.replace(kDateOffset, date_and_count.size(), date_and_count);
  PutWord(image, kHeaderLengthOffset, static_cast<unsigned>(header_length));
  PutWord(image, kRecordLengthOffset, record_length);
  image[kLanguageDriverOffset] = kLanguageDriver1252;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    PutDescriptor(image, kFileHeaderSize + i * kFieldDescriptorSize, layout[i]);
  }
  image[header_length - 1] = kHeaderTerminator;
  image[header_length] = kEndOfFile;
  return image;
}

}  // namespace pontexa::tables
