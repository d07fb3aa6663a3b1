#include "tables/table_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <string>

#include "platform/error.h"
#include "support/error_message.h"
#include "support/fault_env.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"

namespace pontexa::tables {
namespace {

using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const RegionalSettings kComma{','};
const RegionalSettings kPoint{'.'};

const Layout kLayout = {{"CODE", FieldType::kText, 4},
                        {"NAME", FieldType::kText, 60},
                        {"COUNT", FieldType::kInteger, 0},
                        {"HOURS", FieldType::kFloat, 0}};

using pontexa::testing::MessageOf;

class TableStoreTest : public ::testing::Test {
 protected:
  TempDir dir_;
  TableStore store_{dir_.path(), kComma};

  // Creates table T with kLayout and one row per (code, name, hours).
  void MakeRows(const std::vector<std::tuple<std::string, std::string, double>>& rows) {
    store_.MakeEmptyTable("T", kLayout);
    Table table(store_, "T");
    table.OpenTable(HoldKind::kShared);
    for (const auto& [code, name, hours] : rows) {
      table.StartNewRow();
      table.PutText("CODE", code);
      table.PutText("NAME", name);
      table.PutFloat("HOURS", hours);
      table.SaveNewRow();
    }
    table.CloseTable();
  }

  std::vector<std::string> Codes(const RegionalSettings& regional = kComma) {
    TableStore store(dir_.path(), regional);
    Table table(store, "T");
    table.OpenTable(HoldKind::kShared);
    std::vector<std::string> codes;
    for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
      codes.push_back(table.TextOf("CODE"));
    }
    return codes;
  }
};

TEST_F(TableStoreTest, RowsComeBackInSavedOrderWithTheirValues) {
  MakeRows({{"MAT", "Matemáticas", 4}, {"  LE", "Lengua", 2.5}, {"FQ", "Física", 13.2}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.RowCount(), 3);
  table.ToFirstRow();
  EXPECT_EQ(table.TextOf("NAME"), "Matemáticas");  // UTF-8 source: stored as given
  table.ToNextRow();
  EXPECT_EQ(table.TextOf("CODE"), "  LE");  // leading blanks stay
  EXPECT_EQ(table.TextOf("HOURS"), "2,5");
  EXPECT_EQ(table.IntegerOf("HOURS"), 2);
  table.ToNextRow();
  EXPECT_DOUBLE_EQ(table.FloatOf("HOURS"), 13.2);
  EXPECT_EQ(table.FloatOf("HOURS"), 13.2);
  EXPECT_FALSE(table.PastLastRow());
  table.ToNextRow();
  EXPECT_TRUE(table.PastLastRow());
  EXPECT_EQ(table.TextOf("CODE"), "FQ");  // the last row stays current
}

TEST_F(TableStoreTest, BlankAndUnsetFields) {
  MakeRows({{"", "", 0}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  table.StartNewRow();
  table.SaveNewRow();
  table.ToFirstRow();
  EXPECT_EQ(table.TextOf("CODE"), "");
  EXPECT_EQ(table.TextOf("HOURS"), "0");
  table.ToNextRow();
  EXPECT_EQ(table.TextOf("HOURS"), "");
  EXPECT_EQ(table.FloatOf("HOURS"), 0);
  EXPECT_EQ(table.IntegerOf("COUNT"), 0);
  EXPECT_EQ(table.TextOf("COUNT"), "");
  EXPECT_EQ(MessageOf([&] { table.IntegerOf("NAME"); }), "'' no es un valor entero válido");
  EXPECT_EQ(MessageOf([&] { table.FloatOf("NAME"); }), "'' no es un valor punto flotante válido");
}

TEST_F(TableStoreTest, LongTextIsCutToTheWidthAndTheFullKeyFindsNothing) {
  const std::string id70(70, 'x');
  MakeRows({{"ABCDEFG", id70, 1}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  EXPECT_EQ(table.TextOf("CODE"), "ABCD");
  EXPECT_EQ(table.TextOf("NAME"), id70.substr(0, 60));
  EXPECT_FALSE(table.FindFirstRow("NAME", id70));
  EXPECT_TRUE(table.FindFirstRow("NAME", id70.substr(0, 60)));
}

TEST_F(TableStoreTest, FindFirstRowIsExactAndTakesTheFirstMatch) {
  MakeRows({{"A", "uno", 1}, {"B", "dos", 2}, {"B", "tres", 3}, {"C", "cuatro", 4}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  ASSERT_TRUE(table.FindFirstRow("code", "B"));
  EXPECT_EQ(table.TextOf("NAME"), "dos");
  EXPECT_FALSE(table.FindFirstRow("CODE", "b"));
  EXPECT_TRUE(table.PastLastRow());
  EXPECT_EQ(table.TextOf("NAME"), "cuatro");
  EXPECT_FALSE(table.FindFirstRow("CODE", "B "));
  EXPECT_TRUE(table.FindFirstRow("HOURS", "3"));
  EXPECT_EQ(table.TextOf("NAME"), "tres");
}

TEST_F(TableStoreTest, EmptyTableIsPastLastRowAtOnce) {
  MakeRows({});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  table.ToFirstRow();
  EXPECT_TRUE(table.PastLastRow());
  EXPECT_FALSE(table.FindFirstRow("CODE", ""));
  EXPECT_EQ(table.TextOf("CODE"), "");  // no row: fields read blank
  EXPECT_EQ(table.RowCount(), 0);
}

TEST_F(TableStoreTest, NewRowReadsBackBeforeItIsSaved) {
  MakeRows({});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  table.StartNewRow();
  table.PutText("CODE", "XY");
  table.PutFloat("HOURS", 1.0 / 3);
  EXPECT_EQ(table.TextOf("CODE"), "XY");
  EXPECT_EQ(table.TextOf("HOURS"), "0,333333");  // as the field holds it
  EXPECT_EQ(table.TextOf("NAME"), "");
}

TEST_F(TableStoreTest, UnsavedRowIsDroppedOnClose) {
  MakeRows({{"A", "", 1}});
  {
    Table table(store_, "T");
    table.OpenTable(HoldKind::kShared);
    table.StartNewRow();
    table.PutText("CODE", "LOST");
    table.CloseTable();
  }
  EXPECT_EQ(Codes(), std::vector<std::string>{"A"});
}

TEST_F(TableStoreTest, MovingWithARowPendingSavesItFirst) {
  MakeRows({{"A", "", 1}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  table.StartNewRow();
  table.PutText("CODE", "B");
  EXPECT_TRUE(table.FindFirstRow("CODE", "B"));
  table.CloseTable();
  EXPECT_EQ(Codes(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(TableStoreTest, OperationsOnAClosedTableFail) {
  MakeRows({{"A", "", 1}});
  Table table(store_, "T");
  const std::string closed = "No se puede realizar esta operación en una fuente de datos cerrada";
  EXPECT_EQ(MessageOf([&] { table.ToFirstRow(); }), closed);
  EXPECT_EQ(MessageOf([&] { table.PastLastRow(); }), closed);
  EXPECT_EQ(MessageOf([&] { table.TextOf("CODE"); }), closed);
  EXPECT_EQ(MessageOf([&] { table.StartNewRow(); }), closed);
  EXPECT_EQ(MessageOf([&] { table.FindFirstRow("CODE", "A"); }), closed);
  table.CloseTable();  // closing a closed table does nothing
  table.OpenTable(HoldKind::kShared);
  table.OpenTable(HoldKind::kExclusive);  // opening an open table does nothing
  EXPECT_EQ(table.TextOf("CODE"), "A");
}

TEST_F(TableStoreTest, MisuseOfTheNewRowIsAnError) {
  MakeRows({});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  EXPECT_THAT(MessageOf([&] { table.SaveNewRow(); }), HasSubstr("No hay ninguna fila nueva"));
  EXPECT_THAT(MessageOf([&] { table.PutText("CODE", "A"); }),
              HasSubstr("No se ha empezado ninguna fila nueva"));
  table.StartNewRow();
  EXPECT_THAT(MessageOf([&] { table.PutFloat("COUNT", 1e12); }),
              HasSubstr("no cabe en el campo 'COUNT'"));
  EXPECT_THAT(MessageOf([&] { table.PutText("HOURS", "dos"); }),
              HasSubstr("'dos' no es un valor punto flotante válido"));
  table.PutText("HOURS", "2,5");  // text into a number: read with the regional separator
  EXPECT_EQ(table.FloatOf("HOURS"), 2.5);
}

TEST_F(TableStoreTest, MissingFieldNamesTheBindingWhenThereIsOne) {
  MakeRows({{"A", "", 1}});
  Table plain(store_, "T");
  plain.OpenTable(HoldKind::kShared);
  EXPECT_EQ(MessageOf([&] { plain.TextOf("DIA"); }), "No se encuentra el campo 'DIA'");
  EXPECT_EQ(plain.TextOf("code"), "A");
  plain.CloseTable();

  std::filesystem::rename(dir_ / "T.DBF", dir_ / "SOLUC.DBF");
  TableBinding soluc(store_, Binding::kSoluc);
  soluc.OpenTable();
  EXPECT_EQ(MessageOf([&] { soluc.FloatOf("dia"); }),
            "wwTableSoluc: No se encuentra el campo 'dia'");
}

TEST_F(TableStoreTest, MissingTableOrFolderIsReportedAndNothingIsCreated) {
  Table table(store_, "SOLUC");
  EXPECT_EQ(MessageOf([&] { table.OpenTable(HoldKind::kExclusive); }),
            "No existe la tabla '" + (dir_ / "SOLUC.DBF").string() + "'");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));

  const auto missing = dir_ / "HTEMP";
  TableStore elsewhere(missing, kComma);
  elsewhere.DropTableFiles("ASIGNOMT");  // nothing to drop is no failure
  EXPECT_EQ(MessageOf([&] { elsewhere.MakeEmptyTable("ASIGNOMT", AsignomtLayout()); }),
            "No existe la carpeta de tablas '" + missing.string() + "'");
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(TableStoreTest, MakeEmptyTableReplacesTheOldTable) {
  MakeRows({{"A", "", 1}, {"B", "", 2}});
  store_.MakeEmptyTable("T", kLayout);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(TableStoreTest, TableFilesAreFoundWhateverTheirLetterCase) {
  MakeRows({{"A", "", 1}});
  std::filesystem::rename(dir_ / "T.DBF", dir_ / "soluc.dbf");
  Table table(store_, "SOLUC");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.TextOf("CODE"), "A");
  EXPECT_EQ(store_.TablePath("Soluc"), dir_ / "soluc.dbf");
}

TEST_F(TableStoreTest, DropRemovesEverySpellingOfTableIndexAndCodePageFile) {
  for (const char* name : {"ASIGT.DBF", "asigt.dbf", "Asigt.Dbf", "ASIGT.MDX", "asigt.mdx",
                           "ASIGT.cpg", "asigt.CPG", "ASIGT.TXT", "PROFT.DBF", "PROFT.cpg"}) {
    WriteFile(dir_ / name, "x");
  }
  store_.DropTableFiles("ASIGT");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"ASIGT.TXT", "PROFT.DBF", "PROFT.cpg"}));
}

TEST_F(TableStoreTest, MakeEmptyTableLeavesOneUpperCaseTableAndItsCodePageFile) {
  WriteFile(dir_ / "asigt.dbf", "old");
  WriteFile(dir_ / "asigt.CPG", "UTF-8");  // left by another program
  store_.MakeEmptyTable("asigt", AsigtLayout());
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"ASIGT.DBF", "ASIGT.cpg"}));
  EXPECT_EQ(ReadFile(dir_ / "ASIGT.cpg"), "1252");
}

TEST_F(TableStoreTest, CodePageFileThatCannotBeWrittenEndsTheBuildNamingIt) {
  std::filesystem::create_directories(dir_ / "ASIGT.cpg" / "inside");
  EXPECT_EQ(
      MessageOf([&] { store_.MakeEmptyTable("ASIGT", AsigtLayout()); }),
      "No se puede escribir el archivo '" + (dir_ / "ASIGT.cpg").string() + "': Es una carpeta");
}

TEST_F(TableStoreTest, CreatedFileHasTheDBaseHeaderHoraplanReads) {
  store_.MakeEmptyTable("ASIGT", AsigtLayout());
  const std::string bytes = ReadFile(dir_ / "ASIGT.DBF");
  const int fields = static_cast<int>(AsigtLayout().size());
  ASSERT_EQ(bytes.size(), 32u + 32u * fields + 1 + 1);
  EXPECT_EQ(bytes[0], 0x03);                            // dBase III/IV, no memo
  EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0'));  // no rows
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]) | bytes[9] << 8, 32 + 32 * fields + 1);
  EXPECT_EQ(bytes[28], 0);                                 // no production index
  EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x57);  // Windows-1252
  EXPECT_EQ(bytes[32 + 32 * fields], 0x0D);
  EXPECT_EQ(bytes.back(), 0x1A);
  const std::string hours = bytes.substr(32 + 32 * 8, 32);  // ninth field
  EXPECT_EQ(hours.substr(0, 6), std::string("HORAS\0", 6));
  EXPECT_EQ(hours[11], 'N');
  EXPECT_EQ(hours[16], 20);
  EXPECT_EQ(hours[17], 6);
}

TEST_F(TableStoreTest, NumbersIgnoreTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "es_ES.UTF-8") == nullptr) GTEST_SKIP() << "no es_ES.UTF-8 locale";
  MakeRows({{"A", "", 2.5}, {"B", "", -13.2}});
  const std::string bytes = ReadFile(dir_ / "T.DBF");
  TableStore point(dir_.path(), kPoint);
  Table table(point, "T");
  table.OpenTable(HoldKind::kShared);
  const double first = table.FloatOf("HOURS");
  const std::string first_text = table.TextOf("HOURS");
  table.ToNextRow();
  const double second = table.FloatOf("HOURS");
  std::setlocale(LC_ALL, saved.c_str());

  EXPECT_THAT(bytes, HasSubstr("2.500000"));
  EXPECT_EQ(first, 2.5);
  EXPECT_EQ(first_text, "2.5");
  EXPECT_EQ(second, -13.2);
}

TEST_F(TableStoreTest, ClosingTheHandleReleasesTheTableAndKeepsSavedRows) {
  MakeRows({});
  try {
    Table table(store_, "T");
    table.OpenTable(HoldKind::kExclusive);
    table.StartNewRow();
    table.PutText("CODE", "KEPT");
    table.SaveNewRow();
    throw Error("fallo a mitad");
  } catch (const Error&) {
  }
  Table again(store_, "T");
  again.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(again.TextOf("CODE"), "KEPT");
}

TEST_F(TableStoreTest, ManyRowsAppendAndScanInOrder) {
  // Enough rows for the appended part to reach the file in several blocks
  // while the table is open.
  store_.MakeEmptyTable("T", kLayout);
  const int rows = 30000;
  {
    Table table(store_, "T");
    table.OpenTable(HoldKind::kShared);
    for (int i = 0; i < rows; ++i) {
      table.StartNewRow();
      table.PutText("NAME", std::to_string(i));
      table.PutFloat("HOURS", i * 0.5);
      table.SaveNewRow();
    }
    // Rows already written out and rows still held read back in the same open.
    ASSERT_TRUE(table.FindFirstRow("NAME", "10"));
    EXPECT_EQ(table.FloatOf("HOURS"), 5);
    ASSERT_TRUE(table.FindFirstRow("NAME", std::to_string(rows - 1)));
    EXPECT_EQ(table.FloatOf("HOURS"), (rows - 1) * 0.5);
    EXPECT_EQ(table.RowCount(), rows);
  }
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  int i = 0;
  bool in_order = true;
  for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow(), ++i) {
    in_order =
        in_order && table.FloatOf("HOURS") == i * 0.5 && table.TextOf("name") == std::to_string(i);
  }
  EXPECT_EQ(i, rows);
  EXPECT_TRUE(in_order);
  const std::string bytes = ReadFile(dir_ / "T.DBF");
  EXPECT_EQ(bytes.size(), 32u + 4 * 32 + 1 + rows * (1 + 4 + 60 + 11 + 20) + 1);
  EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(TableStoreTest, AppendingToATableReopenedLaterKeepsTheOldRows) {
  MakeRows({{"A", "", 1}});
  {
    Table table(store_, "T");
    table.OpenTable(HoldKind::kShared);
    table.StartNewRow();
    table.PutText("CODE", "B");
    table.SaveNewRow();
  }
  EXPECT_EQ(Codes(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ReadFile(dir_ / "T.DBF").back(), 0x1A);
}

TEST_F(TableStoreTest, StoredRowsReadBeforeAndAfterAppendingInOneOpen) {
  MakeRows({{"A", "uno", 1}, {"B", "dos", 2}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  table.ToNextRow();
  EXPECT_EQ(table.TextOf("NAME"), "dos");
  table.StartNewRow();
  table.PutText("CODE", "C");
  table.SaveNewRow();
  std::vector<std::string> codes;
  for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
    codes.push_back(table.TextOf("CODE") + "=" + table.TextOf("HOURS"));
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"A=1", "B=2", "C="}));
}

// A column read whole, as a list to compare.
std::vector<std::string> Listed(const TextColumn& column) {
  std::vector<std::string> texts;
  for (std::size_t row = 0; row < column.size(); ++row) texts.push_back(column[row]);
  return texts;
}

// A column keeps numbering equal texts alike when rows are added after it
// was read whole and let go of its lookup.
TEST(TextColumn, RowsAddedAfterReadingKeepTheirNumbers) {
  TextColumn column;
  for (const char* text : {"P1", "P2", "P1", "P3"}) column.push_back(text);
  column.DoneAdding();
  column.push_back("P2");
  column.push_back("P4");
  column.push_back("P4");
  EXPECT_EQ(Listed(column), (std::vector<std::string>{"P1", "P2", "P1", "P3", "P2", "P4", "P4"}));
  EXPECT_EQ(column.DistinctCount(), 4u);
  EXPECT_EQ(column.NumberAt(4), column.NumberAt(1));
  EXPECT_EQ(column.NumberAt(2), column.NumberAt(0));
  EXPECT_NE(column.NumberAt(5), column.NumberAt(3));
}

TEST_F(TableStoreTest, WholeColumnReadsLikeTextOfRowByRow) {
  MakeRows({{"A", "uno", 1}, {"B", "dos", 2.5}, {"C", "tres", 3}});
  // The second row marked deleted: a column read skips it, as a scan does.
  std::string bytes = ReadFile(dir_ / "T.DBF");
  const std::size_t first_record = 32 + 4 * 32 + 1;
  const std::size_t record_length = 1 + 4 + 60 + 11 + 20;
  bytes[first_record + record_length] = '*';
  WriteFile(dir_ / "T.DBF", bytes);

  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  EXPECT_EQ(Listed(table.TextsOf("code")), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(Listed(table.TextsOf("HOURS")), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Listed(table.TextsOf("COUNT")), (std::vector<std::string>{"", ""}));
  // Left as a scan to the end leaves it: past the last row, the last row current.
  EXPECT_TRUE(table.PastLastRow());
  EXPECT_EQ(table.TextOf("NAME"), "tres");
  EXPECT_EQ(MessageOf([&] { table.TextsOf("NADA"); }), "No se encuentra el campo 'NADA'");
}

// Texts kept once give every row back its own, repeated or not, near or far.
TEST_F(TableStoreTest, WholeColumnGivesRepeatedTextsBackInTheirRows) {
  MakeRows({{"A", "", 1}, {"A", "", 1}, {"B", "", 1}, {"a", "", 1}, {"A", "", 1}, {"", "", 1}});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  EXPECT_EQ(Listed(table.TextsOf("CODE")), (std::vector<std::string>{"A", "A", "B", "a", "A", ""}));
}

TEST_F(TableStoreTest, WholeColumnOfAnEmptyTableReadsNoField) {
  MakeRows({});
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  EXPECT_TRUE(table.TextsOf("NADA").empty());
}

TEST_F(TableStoreTest, ReadOnlyFileOpensForReadingOnly) {
  MakeRows({{"A", "", 1}});
  std::filesystem::permissions(dir_ / "T.DBF", std::filesystem::perms::owner_read);
  if (access((dir_ / "T.DBF").c_str(), W_OK) == 0) GTEST_SKIP() << "running with write rights";
  Table table(store_, "T");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.TextOf("CODE"), "A");
  EXPECT_EQ(MessageOf([&] { table.StartNewRow(); }),
            "La tabla '" + (dir_ / "T.DBF").string() + "' es de solo lectura");
}

// The same through the fault Env, which runs whatever rights the tests have.
TEST_F(TableStoreTest, FileThatMayNotBeWrittenOpensForReadingOnly) {
  MakeRows({{"A", "", 1}});
  const std::string before = testing::ReadFile(dir_ / "T.DBF");
  testing::FaultEnv faults;
  faults.MakeReadOnly(testing::At(dir_ / "T.DBF"));
  const ScopedEnv scoped(faults);
  Table table(store_, "T");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.TextOf("CODE"), "A");
  EXPECT_EQ(MessageOf([&] { table.StartNewRow(); }),
            "La tabla '" + (dir_ / "T.DBF").string() + "' es de solo lectura");
  table.CloseTable();
  EXPECT_EQ(testing::ReadFile(dir_ / "T.DBF"), before);
}

// A look at a table that may be written never asks for write access (which
// a program holding it would see) and refuses to write.
TEST_F(TableStoreTest, ReadingOpenNeverAsksToWrite) {
  MakeRows({{"A", "", 1}});
  const std::string before = testing::ReadFile(dir_ / "T.DBF");
  testing::FaultEnv faults;
  std::vector<pontexa::OpenMode> modes;
  faults.before_open = [&](const std::filesystem::path& path, pontexa::OpenMode mode) {
    if (path.filename() == "T.DBF") modes.push_back(mode);
  };
  const ScopedEnv scoped(faults);
  Table table(store_, "T");
  table.OpenTableReadOnly();
  EXPECT_EQ(table.TextOf("CODE"), "A");
  EXPECT_EQ(MessageOf([&] { table.StartNewRow(); }),
            "La tabla '" + (dir_ / "T.DBF").string() + "' es de solo lectura");
  table.CloseTable();
  EXPECT_EQ(modes, std::vector<pontexa::OpenMode>{pontexa::OpenMode::kRead});
  EXPECT_EQ(testing::ReadFile(dir_ / "T.DBF"), before);
}

TEST_F(TableStoreTest, RefusesBadTableNamesAndLayouts) {
  EXPECT_THAT(MessageOf([&] { store_.MakeEmptyTable("../T", kLayout); }),
              HasSubstr("no es válido"));
  EXPECT_THAT(MessageOf([&] { store_.MakeEmptyTable("T", {}); }), HasSubstr("no tiene campos"));
  EXPECT_THAT(MessageOf([&] {
                store_.MakeEmptyTable("T", {{"A", FieldType::kText, 0}});
              }),
              HasSubstr("anchura no válida"));
  EXPECT_THAT(MessageOf([&] {
                store_.MakeEmptyTable("T", {{"LONGFIELDNAME", FieldType::kText, 3}});
              }),
              HasSubstr("nombre de campo no válido"));
  EXPECT_THAT(
      MessageOf([&] {
        store_.MakeEmptyTable("T", {{"A", FieldType::kText, 3}, {"A", FieldType::kText, 3}});
      }),
      HasSubstr("repite el campo 'A'"));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

}  // namespace
}  // namespace pontexa::tables
