// Damaged, truncated and foreign table files are refused with a message that
// names the file; none of them may crash, loop or allocate beyond the file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "platform/error.h"
#include "support/temp_dir.h"
#include "tables/table.h"
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
    table.OpenTable(HoldKind::kShared);
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
    table.OpenTable(HoldKind::kExclusive);
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
  table.OpenTable(HoldKind::kShared);
  EXPECT_TRUE(table.PastLastRow());
}

// Random damage to the header and the size of a small table, read with every
// rule: each case must end in a scan or in an Error, nothing else.
TEST(DamagedTable, RandomHeaderDamageEndsInErrorOrScan) {
  TempDir dir;
  TableStore store(dir.path(), {','});
  store.MakeEmptyTable(
      "T",
      {{"A", FieldType::kText, 3}, {"N", FieldType::kFloat, 0}, {"I", FieldType::kInteger, 0}});
  {
    Table table(store, "T");
    table.OpenTable(HoldKind::kShared);
    for (int i = 0; i < 3; ++i) {
      table.StartNewRow();
      table.PutText("A", "x");
      table.PutFloat("N", i + 0.5);
      table.SaveNewRow();
    }
  }
  const std::string intact = ReadFile(dir / "T.DBF");
  const std::size_t header = 32 + 3 * 32 + 1;
  std::mt19937 random(20240901);
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    std::string bytes = intact;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) {
      bytes[random() % header] = static_cast<char>(random() % 256);
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    WriteFile(dir / "T.DBF", bytes);
    Table table(store, "T");
    try {
      table.OpenTable(HoldKind::kShared);
      for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
        for (const char* field : {"A", "N", "I"}) {
          try {
            table.TextOf(field);
            table.FloatOf(field);
            table.IntegerOf(field);
          } catch (const Error&) {
          }
        }
      }
    } catch (const Error&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace pontexa::tables
