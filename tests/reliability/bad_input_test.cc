// Hostile and odd exchange files and Horaplan tables through the batch tool:
// each gives a clear Spanish error with status 1 and nothing changed, or the
// defined result; never a crash, a hang or a partial file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/regional_settings.h"
#include "reliability/cli_harness.h"
#include "tables/table.h"
#include "tables/table_store.h"

namespace pontexa::reliability {
namespace {

using ::testing::HasSubstr;

struct BadFile {
  const char* name;
  std::function<std::string()> bytes;
  const char* message;  // part of the error after the file's name
};

std::string Nested(int depth) {
  std::string xml = "<document>";
  for (int i = 0; i < depth; ++i) xml += "<g>";
  for (int i = 0; i < depth; ++i) xml += "</g>";
  return xml + "</document>";
}

// About 200 KB that stand for 3 GB of text: an entity of 100,000 characters
// used 30,000 times in a subject's name.
std::string EntityBlowUp() {
  std::string uses;
  for (int i = 0; i < 30000; ++i) uses += "&a;";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE document [<!ENTITY a \"" +
         std::string(100000, 'A') + "\">]>\n<document><subjects><subject id=\"S1\" name=\"" + uses +
         "\"/></subjects></document>\n";
}

class UnreadableExchangeFile : public ::testing::TestWithParam<BadFile> {
 protected:
  SampleSchool school_;
};

// Neither conversion gets past the load: no table is touched and the file is
// not rewritten.
TEST_P(UnreadableExchangeFile, EndsBothRunsBeforeAnythingIsWritten) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  const fs::path file = school_.dir / "malo.xml";
  const std::string bytes = GetParam().bytes();
  WriteFile(file, bytes);
  const FolderFiles tables = FilesIn(school_.tables);
  for (const char* command : {"to-horaplan", "to-gedu"}) {
    const Outcome run = RunCli(command, file, school_.tables);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_THAT(run.err, HasSubstr("No se puede leer el archivo XML '" + file.string() + "': "))
        << command;
    EXPECT_THAT(run.err, HasSubstr(GetParam().message)) << command;
    EXPECT_TRUE(ReadFile(file) == bytes) << command;
    ExpectSameFiles(FilesIn(school_.tables), tables);
  }
}

// The refusal comes from counting the expanded text, not from running out of
// memory: the message names the entities, and no table is touched.
TEST(EntityBlowUp, IsRefusedByBothConversionsBeforeAnyTableIsTouched) {
  SampleSchool school;
  ASSERT_TRUE(school.PrepareHoraplanTables());
  const fs::path file = school.dir / "entidades.xml";
  WriteFile(file, EntityBlowUp());
  const FolderFiles tables = FilesIn(school.tables);
  for (const char* command : {"to-horaplan", "to-gedu"}) {
    const Outcome run = RunCli(command, file, school.tables);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_THAT(run.err, HasSubstr("las entidades del archivo se expanden a demasiado texto"))
        << command;
    ExpectSameFiles(FilesIn(school.tables), tables);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableExchangeFile,
    ::testing::Values(
        BadFile{"Empty", [] { return std::string(); }, "El archivo está vacío"},
        BadFile{"OnlyWhiteSpace", [] { return std::string(" \n\t\n"); }, "línea"},
        BadFile{"CutInsideATag",
                [] { return std::string("<document><groups><group id=\"G1\" na"); }, "línea 1"},
        BadFile{"Binary", [] { return std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16); },
                "línea 1"},
        BadFile{"HundredThousandNestedElements", [] { return Nested(100000); },
                "anidados a demasiada profundidad"},
        BadFile{"WrongEncodingDeclared",
                [] {
                  return std::string(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<document><teachers><teacher id=\"T\">Jos\xE9</teacher>"
                      "</teachers></document>");
                },
                "el texto no corresponde a la codificación de caracteres declarada (UTF-8)"},
        BadFile{"EntityExpandingToGigabytes", [] { return EntityBlowUp(); },
                "las entidades del archivo se expanden a demasiado texto"},
        BadFile{"UnknownEncoding",
                [] {
                  return std::string("<?xml version=\"1.0\" encoding=\"X-PONTEXA\"?>\n<document/>");
                },
                "codificación de caracteres no admitida"}),
    [](const auto& info) { return std::string(info.param.name); });

// Files that load but are not what the conversions expect give their defined
// result rather than an error.
class OddExchangeFile : public ::testing::Test {
 protected:
  // Rows of a table the run wrote, every field as TextOf gives it.
  std::vector<std::vector<std::string>> Rows(const std::string& table,
                                             const std::vector<std::string>& fields) {
    const tables::TableStore store(school_.tables, RegionalSettings{','});
    tables::Table open(store, table);
    open.OpenTable(HoldKind::kShared);
    std::vector<std::vector<std::string>> rows;
    for (open.ToFirstRow(); !open.PastLastRow(); open.ToNextRow()) {
      rows.emplace_back();
      for (const std::string& field : fields) rows.back().push_back(open.TextOf(field));
    }
    return rows;
  }

  Outcome Run(const std::string& command, const std::string& xml) {
    WriteFile(school_.exchange_file, xml);
    return RunCli(command, school_.exchange_file, school_.tables);
  }

  SampleSchool school_;
};

// A file whose root is not `document` holds no catalogues: the six tables are
// rebuilt empty, and the time-tables section goes under the root it has.
TEST_F(OddExchangeFile, AnotherRootElementGivesEmptyTablesAndTakesTheSection) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  const Outcome back = Run("to-gedu", "<escuela><x/></escuela>");
  ASSERT_EQ(back.status, 0) << back.err;
  const std::string saved = ReadFile(school_.exchange_file);
  EXPECT_TRUE(saved.starts_with("<escuela><x/><time-tables><time-table id=\"tt1\"")) << saved;

  const Outcome built = Run("to-horaplan",
                            "<escuela><teachers><teacher id=\"T1\">Ana</teacher>"
                            "</teachers></escuela>");
  ASSERT_EQ(built.status, 0) << built.err;
  for (const char* table : {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"}) {
    EXPECT_TRUE(Rows(table, {}).empty()) << table;
  }
}

// Elements without their id or name attributes are rows with those fields
// empty: the codes are made from nothing, as from any other value.
TEST_F(OddExchangeFile, MissingIdAndNameAttributesGiveRowsWithEmptyFields) {
  const Outcome run = Run("to-horaplan",
                          "<document><subjects><subject/><subject id=\"S2\"/></subjects>"
                          "<teachers><teacher/></teachers><groups><group/></groups></document>");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto subjects = Rows("ASIGNOMT", {"COD", "NOMBRE", "IDGEDU"});
  ASSERT_EQ(subjects.size(), 2u);
  EXPECT_EQ(subjects[0], (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(subjects[1], (std::vector<std::string>{"S2", "", "S2"}));
  EXPECT_EQ(Rows("PROFT", {"NOMBRE", "IDGEDU"}), (std::vector<std::vector<std::string>>{{"", ""}}));
  EXPECT_EQ(Rows("GRUPOST", {"IDGEDU"}), (std::vector<std::vector<std::string>>{{""}}));
}

// A value of a megabyte is stored cut to its field, and the codes come from it.
TEST_F(OddExchangeFile, MegabyteAttributeIsStoredCutToItsField) {
  const std::string name = "Matem" + std::string(1 << 20, 'a');
  const Outcome run = Run("to-horaplan", "<document><subjects><subject id=\"MAT000123\" name=\"" +
                                             name + "\"/></subjects></document>");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Rows("ASIGNOMT", {"COD", "CODLARGO", "NOMBRE"}),
            (std::vector<std::vector<std::string>>{{"0123", "Matem", name.substr(0, 40)}}));
}

// Letters that Windows-1252 lacks reach the tables as their nearest letter or
// "?", and the exchange file keeps them untouched through Horaplan to GEDU.
TEST_F(OddExchangeFile, CharactersOutsideTheCodePage) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>"
      "<teachers><teacher id=\"T\xC5\x81\">\xC5\x81ukasz \xC4\x8C"
      "ech \xE7\x8E\x8B</teacher>"
      "</teachers><groups><group id=\"G\" name=\"1 ESO \xE2\x82\xAC\"/></groups></document>";
  const Outcome run = Run("to-horaplan", xml);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto teachers = Rows("PROFT", {"NOMBRE", "IDGEDU"});
  ASSERT_EQ(teachers.size(), 1u);
  EXPECT_EQ(teachers[0][0], "Lukasz Cech ?");  // Windows' best fit; none for 王
  EXPECT_EQ(teachers[0][1], "TL");

  // Horaplan to GEDU with the sample's tables writes its section into the file
  // and leaves every other byte, these characters included, as it was.
  fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", school_.exchange_file,
                fs::copy_options::overwrite_existing);
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  const fs::path odd = school_.dir / "raro.xml";
  WriteFile(odd, xml);
  const Outcome back = RunCli("to-gedu", odd, school_.tables);
  ASSERT_EQ(back.status, 0) << back.err;
  const std::string saved = ReadFile(odd);
  const std::size_t section = saved.find("<time-tables>");
  ASSERT_NE(section, std::string::npos);
  EXPECT_EQ(saved.substr(0, section), xml.substr(0, xml.size() - 11));
  // No line break is added after the root: the file had none.
  EXPECT_TRUE(saved.ends_with("</time-tables></document>")) << saved.substr(saved.size() - 40);
}

// Damaged Horaplan tables end Horaplan to GEDU with a message naming the table,
// and the exchange file stays as it was.
struct Damage {
  const char* name;
  const char* table;
  std::function<void(std::string&)> apply;
  const char* message;
};

void PutWord(std::string& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

class DamagedHoraplanTable : public ::testing::TestWithParam<Damage> {
 protected:
  SampleSchool school_;
};

TEST_P(DamagedHoraplanTable, EndsHoraplanToGeduAndTheFileStaysAsItWas) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  const fs::path table = school_.tables / (std::string(GetParam().table) + ".DBF");
  std::string bytes = ReadFile(table);
  GetParam().apply(bytes);
  WriteFile(table, bytes);
  const std::string exchange = ReadFile(school_.exchange_file);
  const Outcome run = RunCli("to-gedu", school_.exchange_file, school_.tables);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr(table.string()));
  EXPECT_THAT(run.err, HasSubstr(GetParam().message));
  EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
  EXPECT_TRUE(ReadFile(table) == bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DamagedHoraplanTable,
    ::testing::Values(Damage{"SolucCutInARow", "SOLUC",
                             [](std::string& b) { b.resize(b.size() - 20); }, "filas"},
                      Damage{"SolucClaimsTwoToThe31Rows", "SOLUC",
                             [](std::string& b) {
                               PutWord(b, 4, 0);
                               PutWord(b, 6, 0x8000);
                             },
                             "indica 2147483648 filas"},
                      Damage{"DiasHorasWithoutFields", "DIASHORAST",
                             [](std::string& b) { b[32] = 0x0D; }, "no describe ningún campo"},
                      Damage{"DiasHorasRecordLengthWrong", "DIASHORAST",
                             [](std::string& b) {
                               const unsigned length = static_cast<unsigned char>(b[10]) |
                                                       static_cast<unsigned char>(b[11]) << 8;
                               PutWord(b, 10, length + 1);
                             },
                             "longitud de registro"},
                      Damage{"SolucFieldWiderThanTheRecord", "SOLUC",
                             [](std::string& b) { b[32 + 16] = static_cast<char>(0xFF); },
                             "longitud de registro"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pontexa::reliability
