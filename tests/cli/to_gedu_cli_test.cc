// The Horaplan-to-GEDU conversion through pontexa-cli, on the sample school:
// GEDU to Horaplan, Horaplan's day-and-hour table and timetable copied in, and
// back to GEDU.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "exchange/document.h"
#include "support/program.h"
#include "support/temp_dir.h"
#include "tables/table_store.h"

namespace pontexa {
namespace {

using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

using testing::Outcome;
using testing::RunOptions;
using testing::RunProgram;

class ToGeduCliTest : public ::testing::Test {
 protected:
  ToGeduCliTest() {
    fs::create_directory(tables_);
    fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", exchange_file_);
  }

  Outcome Run(const std::string& command, const fs::path& file) {
    RunOptions options;
    options.env = {"LC_ALL=es_ES.UTF-8"};
    return RunProgram({PONTEXA_CLI, command, file.string(), "--dir", tables_.string()}, options);
  }

  // The sample's catalogues, then Horaplan's tables in place of the empty DIASHORAST.
  void PrepareTables() {
    const Outcome to_horaplan = Run("to-horaplan", exchange_file_);
    ASSERT_EQ(to_horaplan.status, 0) << to_horaplan.err;
    for (const char* name : {"DIASHORAST.DBF", "SOLUC.DBF"}) {
      fs::copy_file(fs::path(PONTEXA_EXAMPLES) / name, tables_ / name,
                    fs::copy_options::overwrite_existing);
    }
  }

  TempDir dir_;
  fs::path tables_ = dir_ / "htemp";
  fs::path exchange_file_ = dir_ / "instituto.xml";
};

std::string Attribute(const exchange::Node& node, const char* name) {
  return node.AsElement().Attributes().NamedItem(name).Value();
}

std::set<std::string> Ids(const exchange::Document& document, const char* path) {
  std::set<std::string> ids;
  const exchange::NodeList nodes = document.SelectNodes(path);
  for (std::size_t i = 0; i < nodes.Length(); ++i) ids.insert(Attribute(nodes.Item(i), "id"));
  return ids;
}

TEST_F(ToGeduCliTest, SampleTimetableComesBackWithGeduIdentifiers) {
  PrepareTables();
  const std::string original = ReadFile(exchange_file_);
  const Outcome run = Run("to-gedu", exchange_file_);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Proceso Terminado\n");

  exchange::Document document;
  ASSERT_NO_THROW(document.Load(exchange_file_.string()));
  const std::set<std::string> groups = Ids(document, "/document/groups/group");
  const std::set<std::string> teachers = Ids(document, "/document/teachers/teacher");
  const std::set<std::string> rooms = Ids(document, "/document/locations/location");
  const std::set<std::string> subjects = Ids(document, "/document/subjects/subject");

  // The week: five days, four of seven hours and a Friday of six.
  const exchange::NodeList days = document.SelectNodes("/document/time-tables/time-table/days/day");
  ASSERT_EQ(days.Length(), 5u);
  EXPECT_EQ(Attribute(days.Item(2), "name"), "Mi\xE9rcoles");
  EXPECT_EQ(days.Item(0).AsElement().SelectNodes("interval").Length(), 7u);
  EXPECT_EQ(days.Item(4).AsElement().SelectNodes("interval").Length(), 6u);

  // Every used group, teacher and subject is one of the file's own.
  for (const std::string& id : Ids(document, "/document/time-tables/time-table/groups/group")) {
    EXPECT_TRUE(groups.count(id)) << id;
  }
  for (const std::string& id : Ids(document, "/document/time-tables/time-table/members/member")) {
    EXPECT_TRUE(teachers.count(id)) << id;
  }
  std::set<std::string> activities;
  const exchange::NodeList activity_nodes =
      document.SelectNodes("/document/time-tables/time-table/activities/activity");
  for (std::size_t i = 0; i < activity_nodes.Length(); ++i) {
    EXPECT_TRUE(subjects.count(Attribute(activity_nodes.Item(i), "subject")));
    activities.insert(Attribute(activity_nodes.Item(i), "id"));
  }

  // One input per lesson of SOLUC, each naming known records, and no group,
  // teacher or room in two places at once.
  tables::TableStore store(tables_, RegionalSettings{','});
  tables::Table soluc(store, "SOLUC");
  soluc.OpenTable(tables::OpenMode::kShared);
  const exchange::NodeList inputs =
      document.SelectNodes("/document/time-tables/time-table/inputs/input");
  EXPECT_EQ(static_cast<std::int64_t>(inputs.Length()), soluc.RowCount());
  std::set<std::string> busy;
  for (std::size_t i = 0; i < inputs.Length(); ++i) {
    const exchange::Element input = inputs.Item(i).AsElement();
    EXPECT_EQ(Attribute(input, "id"), "input" + std::to_string(i + 1));
    EXPECT_TRUE(activities.count(Attribute(input, "activity")));
    const std::string when = Attribute(input, "day") + "/" + Attribute(input, "interval");
    const std::string group = Attribute(input.SelectSingleNode("groups/group"), "id");
    const std::string member = Attribute(input.SelectSingleNode("members/member"), "id");
    const std::string room = Attribute(input.SelectSingleNode("locations/location"), "id");
    EXPECT_TRUE(groups.count(group)) << group;
    EXPECT_TRUE(teachers.count(member)) << member;
    EXPECT_TRUE(rooms.count(room)) << room;
    EXPECT_TRUE(busy.insert("G" + group + when).second) << group << " " << when;
    EXPECT_TRUE(busy.insert("P" + member + when).second) << member << " " << when;
    EXPECT_TRUE(busy.insert("A" + room + when).second) << room << " " << when;
  }

  // Apart from the section, the file is as it was.
  const std::string saved = ReadFile(exchange_file_);
  const std::size_t start = saved.find("<time-tables>");
  const std::size_t end = saved.find("</time-tables>");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(saved.find("<time-tables>", start + 1), std::string::npos);
  EXPECT_EQ(saved.substr(0, start) + saved.substr(end + 14), original);
}

TEST_F(ToGeduCliTest, SecondRunReplacesTheSectionOfTheFirst) {
  PrepareTables();
  ASSERT_EQ(Run("to-gedu", exchange_file_).status, 0);
  const std::string first = ReadFile(exchange_file_);
  ASSERT_EQ(Run("to-gedu", exchange_file_).status, 0);
  EXPECT_EQ(ReadFile(exchange_file_), first);
}

struct Failure {
  const char* name;
  const char* soluc_script;  // python3-dbf statements writing SOLUC.DBF; "" removes it
  const char* message;
};

class ToGeduCliFailureTest : public ToGeduCliTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(ToGeduCliFailureTest, FailedRunLeavesTheFileAsItWas) {
  PrepareTables();
  fs::remove(tables_ / "SOLUC.DBF");
  if (*GetParam().soluc_script != '\0') {
    WriteFile(dir_ / "soluc.py", std::string("import dbf\nt = dbf.Table(r'") +
                                     (tables_ / "SOLUC.DBF").string() + "', " +
                                     GetParam().soluc_script + "\nt.close()\n");
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + (dir_ / "soluc.py").string() + "'").c_str()), 0);
  }
  const std::string before = ReadFile(exchange_file_);
  const Outcome run = Run("to-gedu", exchange_file_);
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr(GetParam().message));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(exchange_file_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Soluc, ToGeduCliFailureTest,
    ::testing::Values(
        Failure{"SinCampoDia",
                "'HORA N(2,0); SESIONES N(3,1); ASIG C(4); CODGRUPO C(4); PROF C(4); AULA C(4)', "
                "dbf_type='db3', codepage='cp1252')\nt.open(dbf.READ_WRITE)\n"
                "t.append((1, 1, 'XYZ', '', '', ''))",
                "wwTableSoluc: No se encuentra el campo 'DIA'"},
        Failure{"AsignaturaDesconocida",
                "'DIA N(1,0); HORA N(2,0); SESIONES N(3,1); ASIG C(4); CODGRUPO C(4); "
                "PROF C(4); AULA C(4)', dbf_type='db3', codepage='cp1252')\n"
                "t.open(dbf.READ_WRITE)\nt.append((1, 1, 1, 'XYZ', '', '', ''))",
                "List index out of bounds (-1)"},
        Failure{"SinTabla", "", "SOLUC"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToGeduCliTest, FileWithoutRootElementIsLeftAlone) {
  PrepareTables();
  const fs::path empty = dir_ / "vacio.xml";
  WriteFile(empty, "");
  const Outcome run = Run("to-gedu", empty);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err, "");
  EXPECT_EQ(ReadFile(empty), "");
}

}  // namespace
}  // namespace pontexa
