#include "tables/dbf_format.h"

#include <gtest/gtest.h>

#include <string>

#include "tables/table_header.h"

namespace pontexa::tables {
namespace {

using namespace std::string_literals;

// A field descriptor as dBase lays it out: name padded with NUL bytes to 11,
// type, four reserved bytes, width, decimals, fourteen reserved bytes.
std::string Descriptor(const std::string& name, char type, int width, int decimals) {
  std::string bytes = name + std::string(11 - name.size(), '\0');
  bytes += type;
  bytes += std::string(4, '\0');
  bytes += static_cast<char>(width);
  bytes += static_cast<char>(decimals);
  bytes += std::string(14, '\0');
  return bytes;
}

// The image is written out here byte by byte, the way Horaplan and the other
// dBase readers expect the tables this program creates.
TEST(NewTableImage, LaysOutHeaderDescriptorsTerminatorAndEndOfFile) {
  const Layout layout = {{"COD", FieldType::kText, 4},
                         {"MAXALUM", FieldType::kInteger, 0},
                         {"HORAS", FieldType::kFloat, 0},
                         {"IDENTIFICA", FieldType::kText, 254}};
  const std::string expected =
      "\x03"                            // dBase III/IV, no memo
      "\x7E\x0C\x09"                    // 2026-12-09
      "\0\0\0\0"s                       // no rows
      "\xA1\x00"s                       // header: 32 + 4 * 32 + 1 = 161
      "\x22\x01"s                       // record: 1 + 4 + 11 + 20 + 254 = 290
      + std::string(17, '\0') + "\x57"  // language driver: Windows-1252
      + "\0\0"s                         // reserved
      + Descriptor("COD", 'C', 4, 0) + Descriptor("MAXALUM", 'N', 11, 0) +
      Descriptor("HORAS", 'N', 20, 6) + Descriptor("IDENTIFICA", 'C', 254, 0) + "\x0D\x1A";
  EXPECT_EQ(NewTableImage(layout, {2026, 12, 9}), expected);
}

TEST(DateAndRowCount, YearsSince1900WithinAByteAndTheCountLittleEndian) {
  struct Case {
    HeaderDate date;
    std::uint32_t rows;
    std::string bytes;
  };
  const Case cases[] = {
      {{1900, 1, 1}, 0, "\x00\x01\x01\x00\x00\x00\x00"s},
      {{1899, 12, 31}, 1, "\x00\x0C\x1F\x01\x00\x00\x00"s},
      {{2026, 2, 28}, 0x01020304, "\x7E\x02\x1C\x04\x03\x02\x01"s},
      {{2155, 6, 15}, 0xFFFFFFFF, "\xFF\x06\x0F\xFF\xFF\xFF\xFF"s},
      {{2300, 6, 15}, 256, "\xFF\x06\x0F\x00\x01\x00\x00"s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateAndRowCount(c.date, c.rows), c.bytes) << c.date.year << " " << c.rows;
  }
}

// What this program writes, its own reader takes back field for field.
TEST(NewTableImage, ReadsBackAsTheLayoutWasGiven) {
  Layout widest;
  for (int i = 0; i < 255; ++i) {
    std::string name(1, 'F');
    name += std::to_string(i);
    widest.push_back({name, i % 3 == 0 ? FieldType::kText : FieldType::kFloat, 254});
  }
  const Layout layouts[] = {
      {{"A", FieldType::kText, 1}},
      {{"N", FieldType::kInteger, 0}, {"T", FieldType::kText, 60}, {"F", FieldType::kFloat, 0}},
      widest,
  };
  for (const Layout& layout : layouts) {
    const std::string image = NewTableImage(layout, {2026, 1, 31});
    const TableHeader header = ReadTableHeader(image, image.size(), "T.DBF");
    ASSERT_EQ(header.fields.size(), layout.size());
    EXPECT_EQ(header.row_count, 0);
    EXPECT_EQ(header.code_page, 1252);
    EXPECT_EQ(static_cast<std::size_t>(header.header_length), image.size() - 1);
    int offset = 1;
    for (std::size_t i = 0; i < layout.size(); ++i) {
      const StoredField& field = header.fields[i];
      const FieldType type = layout[i].type;
      EXPECT_EQ(field.name, layout[i].name);
      EXPECT_EQ(field.offset, offset);
      EXPECT_EQ(field.type, type == FieldType::kText ? 'C' : 'N');
      EXPECT_EQ(field.width, type == FieldType::kText    ? layout[i].width
                             : type == FieldType::kFloat ? kFloatWidth
                                                         : kIntegerWidth);
      EXPECT_EQ(field.decimals, type == FieldType::kFloat ? kFloatDecimals : 0);
      offset += field.width;
    }
    EXPECT_EQ(header.record_length, offset);
  }
}

}  // namespace
}  // namespace pontexa::tables
