#include "dbf_file.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace pontexa::bench {
namespace {

DbfWriter SampleWriter() {
  DbfWriter writer({{"DIA", 'N', 2, 0}, {"SESIONES", 'N', 4, 1}, {"ASIG", 'C', 4}}, 0x57);
  writer.AddRow({"1", "1.0", "MAT"});
  writer.AddRow({"12", "0.5", "FISICA"});  // text cut to its width
  return writer;
}

TEST(DbfWriter, LaysOutHeaderDescriptorsAndRowsAsDBaseThree) {
  const std::string bytes = SampleWriter().Bytes();
  const std::size_t header = 32 + 3 * 32 + 1;
  const std::size_t record = 1 + 2 + 4 + 4;
  ASSERT_EQ(bytes.size(), header + 2 * record + 1);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 2);  // rows
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]), header);
  EXPECT_EQ(static_cast<unsigned char>(bytes[10]), record);
  EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x57);
  EXPECT_EQ(bytes.substr(32, 11), std::string("DIA\0\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(bytes[32 + 11], 'N');
  EXPECT_EQ(bytes[64 + 16], 4);  // SESIONES width
  EXPECT_EQ(bytes[64 + 17], 1);  // and decimals
  EXPECT_EQ(bytes[header - 1], 0x0D);
  // Numbers right aligned, text left aligned and cut.
  EXPECT_EQ(bytes.substr(header, record), "  1 1.0MAT ");
  EXPECT_EQ(bytes.substr(header + record, record), " 12 0.5FISI");
  EXPECT_EQ(bytes.back(), 0x1A);
}

TEST(DbfWriter, RefusesRowsWithTheWrongNumberOfValues) {
  DbfWriter writer({{"A", 'C', 1}, {"B", 'C', 1}}, 0x03);
  EXPECT_THROW(writer.AddRow({"x"}), std::invalid_argument);
  EXPECT_THROW(DbfWriter({{"NOMBREDEMASIADOLARGO", 'C', 1}}, 0x03), std::invalid_argument);
}

TEST(DbfTable, ReadsBackWhatTheWriterWrote) {
  const DbfTable table = DbfTable::FromBytes(SampleWriter().Bytes(), "SOLUC.DBF");
  EXPECT_EQ(table.RowCount(), 2u);
  EXPECT_EQ(table.language_driver(), 0x57);
  ASSERT_EQ(table.fields().size(), 3u);
  EXPECT_EQ(table.fields()[1].name, "SESIONES");
  EXPECT_EQ(table.Column("asig"), (std::vector<std::string>{"MAT", "FISI"}));
  EXPECT_EQ(table.Column("DIA"), (std::vector<std::string>{" 1", "12"}));
}

TEST(DbfTable, LeavesOutRowsMarkedDeleted) {
  std::string bytes = SampleWriter().Bytes();
  bytes[32 + 3 * 32 + 1] = '*';
  EXPECT_EQ(DbfTable::FromBytes(bytes, "T").Column("ASIG"), std::vector<std::string>{"FISI"});
}

TEST(DbfTable, ReportsBrokenTablesAndMissingFields) {
  const std::string good = SampleWriter().Bytes();
  const std::string cases[] = {
      good.substr(0, 20),                // header cut short
      good.substr(0, good.size() - 13),  // rows missing
  };
  for (const std::string& bytes : cases) {
    EXPECT_THROW(DbfTable::FromBytes(bytes, "T"), std::runtime_error);
  }
  EXPECT_THROW(DbfTable::FromBytes(good, "T").Column("AULA"), std::runtime_error);
  EXPECT_THROW(DbfTable::Read("/nonexistent/SOLUC.DBF"), std::runtime_error);
}

}  // namespace
}  // namespace pontexa::bench
