// Both conversions on one small school: the codes the catalogue builds hand
// out bring Horaplan's lessons back to the right GEDU records.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "exchange/school_records.h"
#include "timetable_fixture.h"
#include "to_gedu/timetable_section.h"
#include "to_horaplan/table_builds.h"

namespace pontexa::to_gedu::testing {
namespace {

using ::testing::HasSubstr;

// The code a catalogue row got, looked up by its GEDU identifier.
std::string CodeOf(const tables::TableStore& store, const char* table_name, const char* field,
                   const std::string& idgedu) {
  tables::Table table(store, table_name);
  table.OpenTable(HoldKind::kShared);
  EXPECT_TRUE(table.FindFirstRow("IDGEDU", idgedu)) << idgedu;
  return table.TextOf(field);
}

TEST_F(TimetableTest, LessonOfTheSecondOfTwoLookAlikeTeachersComesBackAsHis) {
  // "Luis  Gómez" (two spaces) has the initials "L G", cut to "L ", which the
  // table stores as "L", the code of "Lucas" too unless he gets a number.
  const std::filesystem::path path = dir_.path() / "escuela.xml";
  WriteFile(
      path,
      "<document>"
      "<subjects><subject id=\"S1\" name=\"Arte\"/><subject id=\"S2\" name=\"Arte dramático\"/>"
      "</subjects>"
      "<teachers><teacher id=\"T1\">Luis  Gómez</teacher><teacher id=\"T2\">Lucas</teacher>"
      "</teachers>"
      "<groups><group id=\"G1\" name=\"1 ESO A\"/></groups>"
      "</document>");
  exchange::SchoolRecords document;
  ASSERT_NO_THROW(document = exchange::ReadSchoolRecords(path.string()));
  to_horaplan::BuildSubjectTable(document, store_);
  to_horaplan::BuildTeacherTable(document, store_);
  to_horaplan::BuildGroupTable(document, store_);

  // Horaplan places one lesson of Lucas with the codes it found in the tables.
  DiasHoras({{"1", "Lunes", "1", "8:00", "8:55"}});
  Soluc({{"1", "1", "1", CodeOf(store_, tables::kAsignomt, "COD", "S2"),
          CodeOf(store_, tables::kGrupost, "ABREV", "G1"),
          CodeOf(store_, tables::kProft, "ABREV", "T2"), ""}});

  const std::string section = Section();
  EXPECT_THAT(section, HasSubstr("<members><member id=\"T2\"/></members>"));
  EXPECT_THAT(section, ::testing::Not(HasSubstr("member id=\"T1\"")));
}

}  // namespace
}  // namespace pontexa::to_gedu::testing
