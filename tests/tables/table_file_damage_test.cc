// Damaged, truncated and foreign table files are refused with a message that
// names the file; none of them may crash, loop or allocate beyond the file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/error.h"
#include "support/temp_dir.h"
#include "tables/table_store.h"

namespace pontexa::tables {
namespace {

using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

void PutWord(std::string& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

void PutDoubleWord(std::string& bytes, std::size_t at, std::uint32_t value) {
  PutWord(bytes, at, value & 0xFFFF);
  PutWord(bytes, at + 2, value >> 16);
}

struct Damage {
  const char* name;
  std::function<void(std::string&)> apply;
  const char* message;
};

// The intact file: two text fields (A width 3, B width 5), two rows.
constexpr std::size_t kHeader = 32 + 2 * 32 + 1;
constexpr std::size_t kRecord = 1 + 3 + 5;

class DamagedTable : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedTable, IsRefusedWithAMessageNamingTheFile) {
  TempDir dir;
  TableStore store(dir.path(), {','});
  store.MakeEmptyTable("T", {{"A", FieldType::kText, 3}, {"B", FieldType::kText, 5}});
  {
    Table table(store, "T");
    table.OpenTable(OpenMode::kShared);
    for (const char* value : {"uno", "dos"}) {
      table.StartNewRow();
      table.PutText("A", value);
      table.SaveNewRow();
    }
  }
  std::string bytes = ReadFile(dir / "T.DBF");
  ASSERT_EQ(bytes.size(), kHeader + 2 * kRecord + 1);
  GetParam().apply(bytes);
  WriteFile(dir / "T.DBF", bytes);

  Table table(store, "T");
  try {
    table.OpenTable(OpenMode::kExclusive);
    FAIL() << "opened";
  } catch (const Error& error) {
    EXPECT_THAT(error.what(), HasSubstr("'" + (dir / "T.DBF").string() + "'"));
    EXPECT_THAT(error.what(), HasSubstr(GetParam().message));
  }
  EXPECT_FALSE(table.IsOpen());
  // The failed open holds nothing: the table can be dropped at once.
  store.DropTableFiles("T");
  EXPECT_FALSE(std::filesystem::exists(dir / "T.DBF"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedTable,
    ::testing::Values(
        Damage{"Empty", [](std::string& b) { b.clear(); }, "no es una tabla dBase"},
        Damage{"ShorterThanFileHeader", [](std::string& b) { b.resize(20); },
               "no es una tabla dBase"},
        Damage{"ShorterThanItsHeader", [](std::string& b) { b.resize(50); },
               "más corto que su cabecera"},
        Damage{"NoFields", [](std::string& b) { b[32] = 0x0D; }, "no describe ningún campo"},
        Damage{"HeaderLengthTooSmall", [](std::string& b) { PutWord(b, 8, 40); },
               "no describe ningún campo"},
        Damage{"HeaderLengthBeyondFile", [](std::string& b) { PutWord(b, 8, 0xFFFF); },
               "más corto que su cabecera"},
        Damage{"RecordLengthTooShort", [](std::string& b) { PutWord(b, 10, 4); },
               "longitud de registro no coincide"},
        Damage{"RecordLengthTooLong", [](std::string& b) { PutWord(b, 10, 0xFFFF); },
               "longitud de registro no coincide"},
        Damage{"ZeroWidthField", [](std::string& b) { b[32 + 16] = 0; }, "anchura cero"},
        Damage{"NamelessField", [](std::string& b) { b[32] = '\0'; }, "nombre válido"},
        Damage{"MoreDecimalsThanWidth",
               [](std::string& b) {
                 b[32 + 11] = 'N';
                 b[32 + 17] = 9;
               },
               "más decimales que anchura"},
        Damage{"MoreRowsThanTheFileHolds", [](std::string& b) { PutDoubleWord(b, 4, 3); },
               "indica 3 filas"},
        Damage{"LastRowCutShort", [](std::string& b) { b.resize(kHeader + kRecord + 4); },
               "indica 2 filas"},
        Damage{"TwoToThe31Rows", [](std::string& b) { PutDoubleWord(b, 4, 0x80000000u); },
               "indica 2147483648 filas"},
        Damage{"AllRowsClaimed", [](std::string& b) { PutDoubleWord(b, 4, 0xFFFFFFFFu); }, "filas"},
        Damage{"DBase7", [](std::string& b) { b[0] = 0x04; }, "dBase 7"},
        Damage{"DBase7WithMemo", [](std::string& b) { b[0] = static_cast<char>(0x8C); }, "dBase 7"},
        Damage{"NotDBase", [](std::string& b) { b[0] = '<'; }, "no es una tabla dBase"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedTable, FieldsWithoutTerminatorAreReadUpToTheHeaderLength) {
  TempDir dir;
  TableStore store(dir.path(), {','});
  store.MakeEmptyTable("T", {{"A", FieldType::kText, 3}});
  std::string bytes = ReadFile(dir / "T.DBF");
  bytes[32 + 32] = ' ';  // no terminator byte, header length unchanged
  WriteFile(dir / "T.DBF", bytes);
  Table table(store, "T");
  table.OpenTable(OpenMode::kShared);
  EXPECT_TRUE(table.PastLastRow());
}

}  // namespace
}  // namespace pontexa::tables
