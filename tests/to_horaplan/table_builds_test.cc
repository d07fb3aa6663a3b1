#include "to_horaplan/table_builds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "exchange/school_records.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"

namespace pontexa::to_horaplan {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using testing::TempDir;

// A document loaded from UTF-8 XML text, and a store in a fresh folder.
class BuildTest : public ::testing::Test {
 protected:
  explicit BuildTest(char decimal_separator = ',')
      : store_(dir_.path(), RegionalSettings{decimal_separator}) {}

  // Each call reads a new file, whose records live as long as the test.
  const exchange::SchoolRecords& Load(const std::string& xml) {
    const std::filesystem::path path =
        dir_ / ("intercambio" + std::to_string(documents_.size()) + ".xml");
    testing::WriteFile(path, xml);
    exchange::SchoolRecords& school =
        *documents_.emplace_back(std::make_unique<exchange::SchoolRecords>());
    EXPECT_NO_THROW(school = exchange::ReadSchoolRecords(path.string()));
    return school;
  }

  // The named fields of every row, in stored order, as UTF-8 text.
  Rows Read(const char* table_name, const std::vector<std::string>& fields) {
    tables::Table table(store_, table_name);
    table.OpenTable(HoldKind::kShared);
    Rows rows;
    for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
      std::vector<std::string>& row = rows.emplace_back();
      for (const std::string& field : fields) row.push_back(Utf8FromSystem(table.TextOf(field)));
    }
    return rows;
  }

  void BuildCatalogues(const exchange::SchoolRecords& document) {
    BuildSubjectTable(document, store_);
    BuildTeacherTable(document, store_);
    BuildRoomTable(document, store_);
    BuildGroupTable(document, store_);
  }

  TempDir dir_;
  tables::TableStore store_;
  std::vector<std::unique_ptr<exchange::SchoolRecords>> documents_;
};

std::string Doc(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>\n" + body + "</document>\n";
}

TEST_F(BuildTest, SubjectRowsTakeCodesFromIdAndNameAndDefaultHours) {
  BuildSubjectTable(Load(Doc(R"(<subjects>
    <subject id=" MAT000123 " name="Matemáticas" hours="3"/>
    <subject id="MAT000124" name="Matemáticas II"/>
    <subject hours=" " name="Matemáticas aplicadas" id="ALT0123"/>
    <subject id="12" name="Arte" hours="2.5"/>
    <subject id="13" name="Música" hours="1" extra="x"/>
    <subject id="14" name="Dibujo técnico" curso="1" nivel="BACH"/>
    <subject name="Sin identificador"/>
  </subjects>)")),
                    store_);
  EXPECT_EQ(Read(tables::kAsignomt, {"COD", "CODLARGO", "NOMBRE", "IDGEDU", "HORAS"}),
            (Rows{{"0123", "Matem", "Matemáticas", "MAT000123", "3"},
                  {"0124", "Matem1", "Matemáticas II", "MAT000124", "4"},
                  {"0123", "Matem2", "Matemáticas aplicadas", "ALT0123", "4"},
                  {"12", "Arte", "Arte", "12", "2.5"},
                  {"13", "Músic", "Música", "13", "1"},
                  {"14", "Dibuj", "Dibujo técnico", "14", "4"},
                  {"", "Sin i", "Sin identificador", "", "4"}}));
}

TEST_F(BuildTest, LongValuesAreStoredCutButCodesComeFromTheWholeValue) {
  const std::string long_id(58, 'X');
  BuildSubjectTable(Load(Doc("<subjects><subject id=\"" + long_id + "0451\" name=\"" +
                             std::string(45, 'N') + "\" hours=\"2\"/></subjects>")),
                    store_);
  EXPECT_EQ(Read(tables::kAsignomt, {"COD", "CODLARGO", "NOMBRE", "IDGEDU"}),
            (Rows{{"0451", "NNNNN", std::string(40, 'N'), long_id + "04"}}));
}

TEST_F(BuildTest, TeacherAndRoomRowsTakeInitialsOfTheFirstChild) {
  const exchange::SchoolRecords& document = Load(Doc(R"(<teachers>
    <teacher id="T1">Juan Pérez López</teacher>
    <teacher id="T2">Juana Pardo</teacher>
    <teacher id="T3" name="Otro nombre"><nombre>José Peña</nombre></teacher>
    <teacher id="T4">  Luis  Gómez </teacher>
    <teacher id="T5">Ana Gil</teacher>
    <teacher id="T6"> </teacher>
    <teacher id="T7"/>
    <teacher>ana gómez</teacher>
  </teachers>
  <locations>
    <location id="L1">Aula 1</location>
    <location id="L2">Aula 2</location>
    <location id="L3">Aula de Música</location>
    <location id="L4">Aula General</location>
    <location id="L5">aula 1</location>
  </locations>)"));
  BuildTeacherTable(document, store_);
  BuildRoomTable(document, store_);
  EXPECT_EQ(Read(tables::kProft, {"ABREV", "NOMBRE", "IDGEDU", "DEPART", "DNI"}),
            (Rows{{"JP", "Juan Pérez López", "T1", "", ""},
                  {"JP1", "Juana Pardo", "T2", "", ""},
                  {"JP2", "José Peña", "T3", "", ""},
                  {"L", "Luis  Gómez", "T4", "", ""},  // "L ", its trailing blank cut on reading
                  {"AG", "Ana Gil", "T5", "", ""},
                  {"", "", "T6", "", ""},
                  {"1", "", "T7", "", ""},
                  {"ag1", "ana gómez", "", "", ""}}));
  EXPECT_EQ(Read(tables::kAulat, {"ABREV", "NOMBRE", "IDGEDU"}),
            (Rows{{"A1", "Aula 1", "L1"},
                  {"A2", "Aula 2", "L2"},
                  {"Ad", "Aula de Música", "L3"},
                  {"AG", "Aula General", "L4"},
                  {"a11", "aula 1", "L5"}}));
}

TEST_F(BuildTest, CodesThatDifferOnlyByATrailingBlankGetANumber) {
  const exchange::SchoolRecords& document = Load(Doc(R"(<subjects>
    <subject id="S1" name="Arte"/>
    <subject id="S2" name="Arte dramático"/>
  </subjects>
  <teachers>
    <teacher id="T1">Luis  Gómez</teacher>
    <teacher id="T2">Lucas</teacher>
  </teachers>)"));
  BuildSubjectTable(document, store_);
  BuildTeacherTable(document, store_);
  EXPECT_EQ(Read(tables::kAsignomt, {"CODLARGO", "IDGEDU"}),
            (Rows{{"Arte", "S1"}, {"Arte1", "S2"}}));
  EXPECT_EQ(Read(tables::kProft, {"ABREV", "IDGEDU"}), (Rows{{"L", "T1"}, {"L1", "T2"}}));
}

TEST_F(BuildTest, GroupRowsCutTheNameAndKeepCodesDistinctOnceStored) {
  std::string groups = R"(<group id="G1" name=" 1 ESO A "/>
    <group id="G2" name="1 ESO A"/>
    <group id="G3" name="10 ESO A"/>
    <group id="G4" name="4 ESO DIVER A"/>
    <group name="3ESOC"/>
  )";
  // Eight more groups with the base 1EA: the last would be 1EA10, stored as the
  // second group's 1EA1.
  for (int i = 0; i < 8; ++i)
    groups += "<group id=\"X" + std::to_string(i) + "\" name=\"1 ESO A\"/>";
  BuildGroupTable(Load(Doc("<groups>" + groups + "</groups>")), store_);
  const Rows rows = Read(tables::kGrupost, {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "IDGEDU"});
  ASSERT_EQ(rows.size(), 13u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"1EA", "", "ESO", "1", "A", "G1"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1EA1", "", "ESO", "1", "A", "G2"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"1EA2", "", "ESO", "1", "A", "G3"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"4ED", "", "ESO D", "4", "A", "G4"}));
  EXPECT_EQ(rows[4], (std::vector<std::string>{"3", "", "", "3", "C", ""}));
  EXPECT_EQ(rows[11][0], "1EA9");
  EXPECT_EQ(rows[12][0], "1E10");
}

TEST_F(BuildTest, NoFreeCodeEndsTheBuildNamingTheElement) {
  // 10,000 teachers called "J": J, then 1 to 9999 fill every code of four
  // characters that the base J can give.
  std::string teachers;
  for (int i = 0; i < 10001; ++i)
    teachers += "<teacher id=\"P" + std::to_string(i) + "\">J</teacher>";
  teachers += "<teacher id=\"P-last\">Jesús</teacher>";
  try {
    BuildTeacherTable(Load(Doc("<teachers>" + teachers + "</teachers>")), store_);
    FAIL() << "no error";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("'J'"), std::string::npos) << message;
    EXPECT_NE(message.find("P10000"), std::string::npos) << message;
  }
  EXPECT_EQ(Read(tables::kProft, {"ABREV"}).size(), 10000u);  // the rows saved before stay
}

TEST_F(BuildTest, DocumentWithoutCataloguesGivesEmptyTables) {
  const exchange::SchoolRecords& document =
      Load("<otro><subjects><subject id=\"1\" name=\"A\"/></subjects></otro>");
  BuildCatalogues(document);
  BuildAssignmentTable(document, store_);
  CreateDayHourTable(store_);
  for (const char* table : {tables::kAsignomt, tables::kProft, tables::kAulat, tables::kGrupost,
                            tables::kAsigt, tables::kDiashorast}) {
    EXPECT_TRUE(Read(table, {}).empty()) << table;
  }
}

constexpr char kAssignments[] = R"(<subjects>
    <subject id="S1" name="Lengua" hours="4"/>
    <subject id="S2" name="Física" hours="2.5"/>
    <subject id="S3" name="Taller" hours="x"/>
    <subject id="S4" name="Negativa" hours="-2"/>
    <subject id="S5" name="Coma" hours="13,2"/>
    <subject id="S6" name="Muchas" hours="25"/>
  </subjects>
  <teachers>
    <teacher id="T1">Ana Gil</teacher>
    <teacher id="T2">Luis Mora</teacher>
  </teachers>
  <locations><location id="L1">Aula 1</location></locations>
  <groups>
    <group id="G1" name="1 ESO A">
      <assigned-subjects>
        <assigned-subject id="S1">
          <assigned-teachers><assigned-teacher id="T1"/></assigned-teachers>
        </assigned-subject>
        <assigned-subject id="S2"/>
        <assigned-subject id="S3">
          <assigned-teachers>
            <assigned-teacher id="T1"/><assigned-teacher id="NADIE"/>
          </assigned-teachers>
        </assigned-subject>
        <assigned-subject id="S4">
          <assigned-teachers>
            <assigned-teacher id="NADIE"/><assigned-teacher id="T2"/>
          </assigned-teachers>
        </assigned-subject>
        <assigned-subject id="NO-ESTA">
          <assigned-teachers><assigned-teacher id="T2"/></assigned-teachers>
        </assigned-subject>
        <assigned-subject>
          <assigned-teachers><assigned-teacher/></assigned-teachers>
        </assigned-subject>
      </assigned-subjects>
    </group>
    <group id="G1" name="2 BACH B"/>
    <group id="G9" name="3 ESO C"/>
    <group id="FUERA" name="x">
      <assigned-subjects>
        <assigned-subject id="S5">
          <assigned-teachers><assigned-teacher id="T2"/></assigned-teachers>
        </assigned-subject>
        <assigned-subject id="S6"/>
        <assigned-subject id="S1"/>
      </assigned-subjects>
    </group>
  </groups>
)";

class AssignmentTest : public BuildTest, public ::testing::WithParamInterface<char> {
 protected:
  AssignmentTest() : BuildTest(GetParam()) {}
};

// The hours read the same under either regional decimal separator.
TEST_P(AssignmentTest, RowsCarryLookedUpCodesHoursAndSessions) {
  // The catalogues come from a file in which the last group has another id.
  std::string catalogues = Doc(kAssignments);
  catalogues.replace(catalogues.find("\"FUERA\""), 7, "\"OTRO\"");
  BuildCatalogues(Load(catalogues));
  BuildAssignmentTable(Load(Doc(kAssignments)), store_);

  const std::string ones13(13, '1');
  EXPECT_EQ(Read(tables::kAsigt, {"CASIG", "CPROF", "CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO",
                                  "GRUPO", "SESIONES"}),
            (Rows{
                {"S1", "AG", "1EA", "", "", "ESO", "1", "A", "1111"},
                // No assigned teacher: no teacher code, not the one of the row before.
                {"S2", "", "1EA", "", "", "ESO", "1", "A", "111"},
                // The last assigned teacher decides, found or not.
                {"S3", "", "1EA", "", "", "ESO", "1", "A", "1"},
                {"S4", "LM", "1EA", "", "", "ESO", "1", "A", ""},
                {"", "LM", "1EA", "", "", "ESO", "1", "A", ""},
                {"", "", "1EA", "", "", "ESO", "1", "A", ""},
                // A group that is not in GRUPOST gives empty group values.
                {"S5", "LM", "", "", "", "", "", "", "1" + ones13},
                {"S6", "", "", "", "", "", "", "", "12" + ones13},
                {"S1", "", "", "", "", "", "", "", "1111"},
            }));

  tables::Table asigt(store_, tables::kAsigt);
  asigt.OpenTable(HoldKind::kShared);
  std::vector<double> hours;
  std::vector<std::string> hours_text;
  for (asigt.ToFirstRow(); !asigt.PastLastRow(); asigt.ToNextRow()) {
    hours.push_back(asigt.FloatOf("HORAS"));
    hours_text.push_back(asigt.TextOf("HORAS"));
  }
  EXPECT_EQ(hours, (std::vector<double>{4, 2.5, 1, -2, 0, 0, 13.2, 25, 4}));
  EXPECT_EQ(hours_text[4], "");  // a subject not in ASIGNOMT leaves HORAS blank
}

INSTANTIATE_TEST_SUITE_P(DecimalSeparators, AssignmentTest, ::testing::Values(',', '.'));

TEST_F(BuildTest, AssignmentsTakeTheFirstGroupRowOfAnIdentifier) {
  const exchange::SchoolRecords& document = Load(Doc(R"(<groups>
      <group id="G1" name="1 ESO A"/>
      <group id="G1" name="2 BACH B">
        <assigned-subjects><assigned-subject id="S"/></assigned-subjects>
      </group>
    </groups>)"));
  BuildCatalogues(document);
  BuildAssignmentTable(document, store_);
  EXPECT_EQ(Read(tables::kAsigt, {"CGRUP", "NIVEL", "CURSO", "GRUPO"}),
            (Rows{{"1EA", "ESO", "1", "A"}}));
}

TEST_F(BuildTest, AssignmentBuildReleasesTheBindingsAlsoWhenItFails) {
  const exchange::SchoolRecords& document = Load(Doc(kAssignments));
  BuildSubjectTable(document, store_);
  BuildTeacherTable(document, store_);
  BuildGroupTable(document, store_);  // AULAT is missing: the third binding fails to open
  EXPECT_THROW(BuildAssignmentTable(document, store_), Error);
  for (tables::Binding binding : {tables::Binding::kGrupos, tables::Binding::kProfesor}) {
    tables::TableBinding table(store_, binding);
    EXPECT_NO_THROW(table.OpenTable()) << tables::BindingName(binding);
  }

  BuildRoomTable(document, store_);
  BuildAssignmentTable(document, store_);
  for (tables::Binding binding : {tables::Binding::kGrupos, tables::Binding::kProfesor,
                                  tables::Binding::kAulas, tables::Binding::kNomAsg}) {
    tables::TableBinding table(store_, binding);
    EXPECT_NO_THROW(table.OpenTable()) << tables::BindingName(binding);
  }
}

TEST_F(BuildTest, DayHourTableReplacesFilledTableWithEmptyOne) {
  store_.MakeEmptyTable(tables::kDiashorast, tables::DiashorastLayout());
  {
    tables::Table table(store_, tables::kDiashorast);
    table.OpenTable(HoldKind::kShared);
    table.StartNewRow();
    table.PutText("DIA", "1");
    table.SaveNewRow();
  }
  testing::WriteFile(dir_ / "DIASHORAST.MDX", "index");
  CreateDayHourTable(store_);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "DIASHORAST.MDX"));
  EXPECT_TRUE(Read(tables::kDiashorast, {"DIHO", "CODDIHO", "DIA", "TEXTODIA", "HORA", "HORADESDE",
                                         "HORAHASTA", "MINUTOS"})
                  .empty());
}

}  // namespace
}  // namespace pontexa::to_horaplan
