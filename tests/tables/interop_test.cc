// The tables this program creates, read by independent dBase readers (Debian's
// python3-dbfread and GDAL's ogrinfo), and tables written by other programs read
// through the store.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/python.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"

namespace pontexa::tables {
namespace {

using ::testing::HasSubstr;
using testing::Outcome;
using testing::RunProgram;
using testing::RunPython;
using testing::TempDir;

// Prints each table: a T line (file, version, language driver, encoding, rows),
// an F line per field and an R line per record, values joined by "|".
constexpr char kDumpScript[] = R"(
import os, sys, dbfread
for path in sys.argv[1:]:
    t = dbfread.DBF(path, load=True, char_decode_errors='strict')
    print('T', os.path.basename(path), hex(t.header.dbversion), hex(t.header.language_driver),
          t.encoding, len(t.records))
    for f in t.fields:
        print('F', f.name, f.type, f.length, f.decimal_count)
    for r in t.records:
        print('R', '|'.join('' if v is None else repr(v) if isinstance(v, float) else str(v)
                            for v in r.values()))
)";

bool HaveDbfread() {
  static const bool have = testing::PythonHasModule("dbfread");
  return have;
}

void AddRow(Table& table, const std::vector<std::pair<std::string, std::string>>& texts,
            const std::vector<std::pair<std::string, double>>& numbers = {}) {
  table.StartNewRow();
  for (const auto& [field, text] : texts) table.PutText(field, text);
  for (const auto& [field, value] : numbers) table.PutFloat(field, value);
  table.SaveNewRow();
}

class CreatedTables : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {kAsignomt, kProft, kAulat, kGrupost, kAsigt, kDiashorast}) {
      store_.DropTableFiles(name);
    }
    store_.MakeEmptyTable(kAsignomt, AsignomtLayout());
    store_.MakeEmptyTable(kProft, ProftLayout());
    store_.MakeEmptyTable(kAulat, AulatLayout());
    store_.MakeEmptyTable(kGrupost, GrupostLayout());
    store_.MakeEmptyTable(kAsigt, AsigtLayout());
    store_.MakeEmptyTable(kDiashorast, DiashorastLayout());
    {
      Table t(store_, kAsignomt);
      t.OpenTable(HoldKind::kShared);
      AddRow(t, {{"COD", "MAT"},
                 {"CODLARGO", "MATEMATI"},
                 {"NOMBRE", "Matem\xE1ticas"},
                 {"IDGEDU", "S-1"},
                 {"HORAS", "4"}});
      AddRow(t, {{"COD", "ING"}, {"NOMBRE", "Ingl\xE9s"}, {"IDGEDU", "S-2"}});
    }
    {
      Table t(store_, kProft);
      t.OpenTable(HoldKind::kShared);
      AddRow(t, {{"ABREV", "JPG"}, {"NOMBRE", "Juan P\xE9rez G\xF3mez"}, {"IDGEDU", "T-1"}});
    }
    {
      Table t(store_, kAulat);
      t.OpenTable(HoldKind::kShared);
      AddRow(t, {{"ABREV", "LAB"}, {"NOMBRE", "Laboratorio"}, {"IDGEDU", "L-1"}});
    }
    {
      Table t(store_, kGrupost);
      t.OpenTable(HoldKind::kShared);
      AddRow(t, {{"ABREV", "1ESA"},
                 {"TURNO", ""},
                 {"NIVEL", "ESO"},
                 {"CURSO", "1"},
                 {"GRUPO", "A"},
                 {"IDGEDU", "G-1"}});
    }
    {
      Table t(store_, kAsigt);
      t.OpenTable(HoldKind::kShared);
      for (double hours : {0.5, 13.2, -2.0, 25.0}) {
        AddRow(t, {{"CASIG", "MAT"}, {"CPROF", "JPG"}, {"CGRUP", "1ESA"}, {"SESIONES", "11"}},
               {{"HORAS", hours}});
      }
    }
  }

  std::filesystem::path File(const char* table) const {
    return dir_ / (std::string(table) + ".DBF");
  }

  TempDir dir_;
  TableStore store_{dir_.path(), {','}};
};

TEST_F(CreatedTables, DbfreadSeesTheLayoutsAndValues) {
  if (!HaveDbfread()) GTEST_SKIP() << "python3-dbfread is not installed";
  Outcome result = RunPython(
      kDumpScript, {File(kAsignomt).string(), File(kProft).string(), File(kAulat).string(),
                    File(kGrupost).string(), File(kAsigt).string(), File(kDiashorast).string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "T ASIGNOMT.DBF 0x3 0x57 cp1252 2\n"
            "F COD C 4 0\nF CODLARGO C 8 0\nF NOMBRE C 40 0\nF IDGEDU C 60 0\nF HORAS C 8 0\n"
            "R MAT|MATEMATI|Matemáticas|S-1|4\n"
            "R ING||Inglés|S-2|\n"
            "T PROFT.DBF 0x3 0x57 cp1252 1\n"
            "F ABREV C 4 0\nF NOMBRE C 40 0\nF DEPART C 40 0\nF DNI N 11 0\nF IDGEDU C 60 0\n"
            "R JPG|Juan Pérez Gómez|||T-1\n"
            "T AULAT.DBF 0x3 0x57 cp1252 1\n"
            "F ABREV C 4 0\nF NOMBRE C 40 0\nF EDIFICIO C 1 0\nF MAXALUM N 11 0\n"
            "F IDGEDU C 60 0\n"
            "R LAB|Laboratorio|||L-1\n"
            "T GRUPOST.DBF 0x3 0x57 cp1252 1\n"
            "F ABREV C 4 0\nF TURNO C 1 0\nF NIVEL C 5 0\nF CURSO C 3 0\nF GRUPO C 2 0\n"
            "F IDGEDU C 60 0\n"
            "R 1ESA||ESO|1|A|G-1\n"
            "T ASIGT.DBF 0x3 0x57 cp1252 4\n"
            "F CASIG C 4 0\nF CPROF C 4 0\nF CGRUP C 4 0\nF CAULA C 4 0\nF TURNO C 1 0\n"
            "F NIVEL C 5 0\nF CURSO C 3 0\nF GRUPO C 2 0\nF HORAS N 20 6\nF SESIONES C 20 0\n"
            "R MAT|JPG|1ESA||||||0.5|11\n"
            "R MAT|JPG|1ESA||||||13.2|11\n"
            "R MAT|JPG|1ESA||||||-2.0|11\n"
            "R MAT|JPG|1ESA||||||25.0|11\n"
            "T DIASHORAST.DBF 0x3 0x57 cp1252 0\n"
            "F DIHO C 10 0\nF CODDIHO C 10 0\nF DIA C 20 0\nF TEXTODIA C 20 0\nF HORA C 8 0\n"
            "F HORADESDE C 8 0\nF HORAHASTA C 8 0\nF MINUTOS C 8 0\n");
}

TEST_F(CreatedTables, OgrinfoReadsTypesAndNumbers) {
  struct stat ignored;
  if (stat("/usr/bin/ogrinfo", &ignored) != 0) GTEST_SKIP() << "gdal-bin is not installed";
  Outcome asigt = RunProgram({"/usr/bin/ogrinfo", "-ro", "-al", File(kAsigt).string()});
  ASSERT_EQ(asigt.status, 0) << asigt.err;
  EXPECT_THAT(asigt.out, HasSubstr("Feature Count: 4"));
  EXPECT_THAT(asigt.out, HasSubstr("CASIG: String (4.0)"));
  EXPECT_THAT(asigt.out, HasSubstr("HORAS: Real (20.6)"));
  EXPECT_THAT(asigt.out, HasSubstr("HORAS (Real) = 13.200000\n"));
  EXPECT_THAT(asigt.out, HasSubstr("HORAS (Real) = -2.000000\n"));
  Outcome proft = RunProgram({"/usr/bin/ogrinfo", "-ro", "-al", File(kProft).string()});
  ASSERT_EQ(proft.status, 0) << proft.err;
  EXPECT_THAT(proft.out, HasSubstr("DNI: Integer"));
  EXPECT_THAT(proft.out, HasSubstr("NOMBRE (String) = Juan Pérez Gómez"));
}

TEST_F(CreatedTables, OgrinfoReadsWindows1252PunctuationThroughTheCodePageFile) {
  struct stat ignored;
  if (stat("/usr/bin/ogrinfo", &ignored) != 0) GTEST_SKIP() << "gdal-bin is not installed";
  // Without AULAT.cpg GDAL takes language driver 0x57 as ISO-8859-1, where
  // these bytes are control characters.
  {
    Table t(store_, kAulat);
    t.OpenTable(HoldKind::kShared);
    AddRow(t, {{"ABREV", "SUM"}, {"NOMBRE", "\x80 \x96 \x93Sal\xF3n\x94 \x85"}, {"IDGEDU", "L-2"}});
  }
  EXPECT_EQ(testing::ReadFile(dir_ / "AULAT.cpg"), "1252");
  Outcome aulat = RunProgram({"/usr/bin/ogrinfo", "-ro", "-al", File(kAulat).string()});
  ASSERT_EQ(aulat.status, 0) << aulat.err;
  EXPECT_THAT(aulat.out, HasSubstr("NOMBRE (String) = € – “Salón” …\n"));
  EXPECT_THAT(aulat.out, HasSubstr("NOMBRE (String) = Laboratorio\n"));
}

// A timetable as Horaplan might store it, written by python3-dbf as dBase III
// with code page 850: numeric DIA, HORA and SESIONES, one row deleted.
constexpr char kWriteDbase3Script[] = R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'DIA N(2,0); HORA N(5,1); SESIONES N(4,1); ASIG C(4); '
              'CODGRUPO C(4); PROF C(4); AULA C(4); OBS C(12)', dbf_type='db3', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append((1, 2.0, 0.5, 'MAT', '1A', 'JPG', 'A1', 'Niño año'))
t.append((9, 9.0, 9.0, 'DEL', '', '', '', ''))
t.append((5, 3.5, None, 'LEN', '1B', 'ABC', '', 'Obs.'))
t.append((None, None, 1.0, 'ING', '', '', '', ''))
dbf.delete(t[1])
t.close()
)";

// The same kind of table in dBase IV form, laid out byte by byte: language
// driver 0x01 (code page 437), the production-index flag set as Horaplan's
// tables have it, a float (F) hour, date and logical fields, one deleted row.
constexpr char kWriteDbase4Script[] = R"(
import struct, sys
fields = [(b'DIA', b'N', 3, 0), (b'HORA', b'F', 8, 2), (b'ASIG', b'C', 4, 0),
          (b'FECHA', b'D', 8, 0), (b'OK', b'L', 1, 0)]
rows = [(b' ', b'  1', b'    2.50', b'MAT ', b'20240901', b'T'),
        (b'*', b' 99', b'   99.00', b'DEL ', b'20240901', b'F'),
        (b' ', b' -3', b'   -0.75', b'\x84\x94  ', b'        ', b'?')]
record_length = 1 + sum(f[2] for f in fields)
header_length = 32 + 32 * len(fields) + 1
out = struct.pack('<BBBBIHH', 0x03, 124, 9, 1, len(rows), header_length, record_length)
out += bytes(16) + bytes([1, 0x01]) + bytes(2)
for name, kind, width, decimals in fields:
    out += name.ljust(11, b'\0') + kind + bytes(4) + bytes([width, decimals]) + bytes(14)
out += b'\r' + b''.join(b''.join(r) for r in rows) + b'\x1a'
open(sys.argv[1], 'wb').write(out)
)";

class ForeignTables : public ::testing::Test {
 protected:
  TempDir dir_;
  TableStore store_{dir_.path(), {','}};
};

TEST_F(ForeignTables, DBase3TimetableFromAnotherWriter) {
  if (!testing::PythonHasModule("dbf")) GTEST_SKIP() << "python3-dbf is not installed";
  Outcome written = RunPython(kWriteDbase3Script, {(dir_ / "soluc.dbf").string()});
  ASSERT_EQ(written.status, 0) << written.err;

  TableBinding soluc(store_, Binding::kSoluc);
  soluc.OpenTable();
  EXPECT_EQ(soluc.RowCount(), 3);  // the deleted row is not visited
  struct Row {
    std::string dia_text;
    int dia;
    double hora;
    double sesiones;
    std::string asig;
    std::string obs;
  };
  std::vector<Row> rows;
  for (soluc.ToFirstRow(); !soluc.PastLastRow(); soluc.ToNextRow()) {
    rows.push_back({soluc.TextOf("DIA"), soluc.IntegerOf("DIA"), soluc.FloatOf("HORA"),
                    soluc.FloatOf("sesiones"), soluc.TextOf("ASIG"), soluc.TextOf("OBS")});
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].dia_text, "1");
  EXPECT_EQ(rows[0].dia, 1);
  EXPECT_EQ(rows[0].hora, 2.0);
  EXPECT_EQ(rows[0].sesiones, 0.5);
  EXPECT_EQ(rows[0].obs, "Ni\xF1o a\xF1o");  // from code page 850 to the system's
  EXPECT_EQ(rows[1].asig, "LEN");
  EXPECT_EQ(rows[1].hora, 3.5);
  EXPECT_EQ(rows[1].sesiones, 0);  // blank
  EXPECT_EQ(rows[1].obs, "Obs.");
  EXPECT_EQ(rows[2].dia_text, "");
  EXPECT_EQ(rows[2].dia, 0);
  EXPECT_TRUE(soluc.FindFirstRow("ASIG", "ING"));
  EXPECT_FALSE(soluc.FindFirstRow("ASIG", "DEL"));
}

TEST_F(ForeignTables, DBase4TableWithFloatDateAndLogicalFields) {
  Outcome written = RunPython(kWriteDbase4Script, {(dir_ / "SOLUC.DBF").string()});
  ASSERT_EQ(written.status, 0) << written.err;

  Table table(store_, "SOLUC");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.IntegerOf("DIA"), 1);
  EXPECT_EQ(table.TextOf("HORA"), "2,5");
  EXPECT_EQ(table.FloatOf("HORA"), 2.5);
  EXPECT_EQ(table.IntegerOf("HORA"), 2);
  EXPECT_EQ(table.TextOf("FECHA"), "20240901");
  EXPECT_EQ(table.TextOf("OK"), "T");
  table.ToNextRow();
  EXPECT_EQ(table.TextOf("DIA"), "-3");
  EXPECT_EQ(table.FloatOf("HORA"), -0.75);
  EXPECT_EQ(table.IntegerOf("HORA"), -1);
  EXPECT_EQ(table.TextOf("ASIG"), "\xE4\xF6");  // code page 437 letters
  EXPECT_EQ(table.TextOf("FECHA"), "");
  table.ToNextRow();
  EXPECT_TRUE(table.PastLastRow());
}

TEST_F(ForeignTables, VisualFoxProTableWithRoomAfterTheFields) {
  if (!testing::PythonHasModule("dbf")) GTEST_SKIP() << "python3-dbf is not installed";
  Outcome written = RunPython(R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'DIA N(2,0); HORA N(6,2); ASIG C(4)', dbf_type='vfp')
t.open(dbf.READ_WRITE)
t.append((1, 2.5, 'MAT'))
t.close()
)",
                              {(dir_ / "SOLUC.DBF").string()});
  ASSERT_EQ(written.status, 0) << written.err;
  TableBinding soluc(store_, Binding::kSoluc);
  soluc.OpenTable();
  EXPECT_EQ(soluc.FloatOf("HORA"), 2.5);
  EXPECT_EQ(soluc.TextOf("ASIG"), "MAT");
}

TEST_F(ForeignTables, RowsAppendedToAForeignTableAreReadByDbfread) {
  if (!HaveDbfread()) GTEST_SKIP() << "python3-dbfread is not installed";
  Outcome written = RunPython(kWriteDbase4Script, {(dir_ / "SOLUC.DBF").string()});
  ASSERT_EQ(written.status, 0) << written.err;
  {
    Table table(store_, "SOLUC");
    table.OpenTable(HoldKind::kShared);
    AddRow(table, {{"ASIG", "NEW"}, {"FECHA", "20250101"}}, {{"DIA", 7}, {"HORA", 1.25}});
  }
  Outcome dump = RunPython(kDumpScript, {(dir_ / "SOLUC.DBF").string()});
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_THAT(dump.out, HasSubstr("T SOLUC.DBF 0x3 0x1 cp437 3\n"));
  EXPECT_THAT(dump.out, HasSubstr("R 7|1.25|NEW|2025-01-01|\n"));
}

}  // namespace
}  // namespace pontexa::tables
