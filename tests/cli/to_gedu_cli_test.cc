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
#include <vector>

#include "support/program.h"
#include "support/temp_dir.h"
#include "support/xml_file.h"
#include "tables/table.h"
#include "tables/table_store.h"

namespace pontexa {
namespace {

using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::XmlFile;

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

std::set<std::string> Ids(const XmlFile& file, const std::string& xpath) {
  const std::vector<std::string> ids = file.Attributes(xpath, "id");
  return std::set<std::string>(ids.begin(), ids.end());
}

TEST_F(ToGeduCliTest, SampleTimetableComesBackWithGeduIdentifiers) {
  PrepareTables();
  const std::string original = ReadFile(exchange_file_);
  const Outcome run = Run("to-gedu", exchange_file_);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Proceso Terminado\n");

  const XmlFile document(exchange_file_);
  const std::string table = "/document/time-tables/time-table";
  const std::set<std::string> groups = Ids(document, "/document/groups/group");
  const std::set<std::string> teachers = Ids(document, "/document/teachers/teacher");
  const std::set<std::string> rooms = Ids(document, "/document/locations/location");
  const std::set<std::string> subjects = Ids(document, "/document/subjects/subject");

  // The week: five days, four of seven hours and a Friday of six.
  const std::vector<std::string> days = document.Attributes(table + "/days/day", "name");
  ASSERT_EQ(days.size(), 5u);
  EXPECT_EQ(days[2], "Miércoles");
  EXPECT_EQ(document.Count(table + "/days/day[1]/interval"), 7u);
  EXPECT_EQ(document.Count(table + "/days/day[5]/interval"), 6u);

  // Every used group, teacher and subject is one of the file's own.
  for (const std::string& id : Ids(document, table + "/groups/group")) {
    EXPECT_TRUE(groups.count(id)) << id;
  }
  for (const std::string& id : Ids(document, table + "/members/member")) {
    EXPECT_TRUE(teachers.count(id)) << id;
  }
  for (const std::string& subject :
       document.Attributes(table + "/activities/activity", "subject")) {
    EXPECT_TRUE(subjects.count(subject)) << subject;
  }
  const std::set<std::string> activities = Ids(document, table + "/activities/activity");

  // One input per lesson of SOLUC, each naming known records, and no group,
  // teacher or room in two places at once.
  tables::TableStore store(tables_, RegionalSettings{','});
  tables::Table soluc(store, "SOLUC");
  soluc.OpenTable(HoldKind::kShared);
  const std::string input_path = table + "/inputs/input";
  const std::vector<std::string> input_ids = document.Attributes(input_path, "id");
  const std::vector<std::string> input_activities = document.Attributes(input_path, "activity");
  const std::vector<std::string> input_days = document.Attributes(input_path, "day");
  const std::vector<std::string> input_intervals = document.Attributes(input_path, "interval");
  // The first group, member and room of each input, as the inputs come.
  const auto first_of = [&](const char* list) {
    std::vector<std::string> firsts;
    for (std::size_t i = 1; i <= input_ids.size(); ++i) {
      const std::vector<std::string> ids =
          document.Attributes(input_path + "[" + std::to_string(i) + "]/" + list, "id");
      firsts.push_back(ids.empty() ? "" : ids.front());
    }
    return firsts;
  };
  const std::vector<std::string> input_groups = first_of("groups/group");
  const std::vector<std::string> input_members = first_of("members/member");
  const std::vector<std::string> input_rooms = first_of("locations/location");
  EXPECT_EQ(static_cast<std::int64_t>(input_ids.size()), soluc.RowCount());
  std::set<std::string> busy;
  for (std::size_t i = 0; i < input_ids.size(); ++i) {
    EXPECT_EQ(input_ids[i], "input" + std::to_string(i + 1));
    EXPECT_TRUE(activities.count(input_activities[i]));
    const std::string when = input_days[i] + "/" + input_intervals[i];
    const std::string& group = input_groups[i];
    const std::string& member = input_members[i];
    const std::string& room = input_rooms[i];
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
