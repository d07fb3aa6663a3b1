#include "horaplan_tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

namespace pontexa::bench {
namespace {

// Catalogue tables as the conversion writes them: one row per entity, in the
// school's order, with made-up codes "<letter><index>".
void WriteCatalogues(const School& school, const std::filesystem::path& dir) {
  const auto write = [&](const char* name, const char* code_field, auto& entities, char letter) {
    DbfWriter table({{code_field, 'C', 4}, {"IDGEDU", 'C', 60}}, 0x57);
    for (std::size_t i = 0; i < entities.size(); ++i) {
      table.AddRow({std::string(1, letter) + std::to_string(i), entities[i].id});
    }
    table.Save(dir / (std::string(name) + ".DBF"));
  };
  write("ASIGNOMT", "COD", school.subjects, 'S');
  write("PROFT", "ABREV", school.teachers, 'T');
  write("AULAT", "ABREV", school.rooms, 'R');
  write("GRUPOST", "ABREV", school.groups, 'G');
}

class HoraplanTables : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("horaplan_tables_test_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST(PlaceLessons, AboutFourThousandPlacedLessonsPerCopyInsideTheWeek) {
  const School school = MakeSchool(2, 11);
  const std::vector<Lesson> lessons = PlaceLessons(school);
  int placed = 0;
  for (const Lesson& lesson : lessons) {
    if (lesson.day == 0) {
      EXPECT_EQ(lesson.hour, 0);
      continue;
    }
    ++placed;
    EXPECT_GE(lesson.day, 1);
    EXPECT_LE(lesson.day, kDays);
    EXPECT_GE(lesson.hour, 1);
    EXPECT_LE(lesson.hour, kHoursPerDay);
    const Group& group = school.groups[lesson.group];
    EXPECT_EQ(lesson.teacher / kTeachersPerCopy, group.copy);
    if (lesson.room >= 0) {
      EXPECT_EQ(lesson.room / kRoomsPerCopy, group.copy);
    }
  }
  EXPECT_GT(placed, 2 * 3500);
  EXPECT_LT(placed, 2 * 4500);
  EXPECT_LT(lessons.size() - placed, lessons.size() / 20);  // few left unplaced
}

TEST(PlaceLessons, EveryAssignedTeacherGetsTheWeeklyLessonsOfTheSubject) {
  const School school = MakeSchool(1, 2);
  const std::vector<Lesson> lessons = PlaceLessons(school);
  std::size_t expected = 0;
  for (const Group& group : school.groups) {
    for (const Assignment& a : group.assignments) {
      expected += a.teachers.size() * LessonsPerWeek(school.subjects[a.subject]);
    }
  }
  EXPECT_EQ(lessons.size(), expected);
  EXPECT_EQ(PlaceLessons(school).size(), lessons.size());
}

TEST(PlanLessons, NoTeacherOrRoomTwiceInOneSlotAndFewLessonsUnplaced) {
  const School school = MakeSchool(2, 11);
  const std::vector<Lesson> lessons = PlanLessons(school);
  // The same lessons as the clashing timetable, in the same order.
  const std::vector<Lesson> clashing = PlaceLessons(school);
  ASSERT_EQ(lessons.size(), clashing.size());
  std::set<std::string> busy;
  std::size_t unplaced = 0;
  for (std::size_t i = 0; i < lessons.size(); ++i) {
    const Lesson& lesson = lessons[i];
    EXPECT_EQ(lesson.subject, clashing[i].subject);
    EXPECT_EQ(lesson.group, clashing[i].group);
    // The assigned teacher, or a colleague of the department standing in.
    EXPECT_EQ(school.teachers[lesson.teacher].department,
              school.teachers[clashing[i].teacher].department);
    EXPECT_EQ(lesson.teacher / kTeachersPerCopy, clashing[i].teacher / kTeachersPerCopy);
    if (lesson.day == 0) {
      EXPECT_EQ(lesson.hour, 0);
      ++unplaced;
      continue;
    }
    EXPECT_GE(lesson.day, 1);
    EXPECT_LE(lesson.day, kDays);
    EXPECT_GE(lesson.hour, 1);
    EXPECT_LE(lesson.hour, kHoursPerDay);
    const std::string slot = std::to_string(lesson.day) + "/" + std::to_string(lesson.hour);
    EXPECT_TRUE(busy.insert("T" + std::to_string(lesson.teacher) + "@" + slot).second);
    // A lesson of two teachers is split over two rooms, so that the check of
    // the conversion finds no room with two teachers.
    if (lesson.room >= 0) {
      EXPECT_EQ(lesson.room / kRoomsPerCopy, school.groups[lesson.group].copy);
      EXPECT_TRUE(busy.insert("R" + std::to_string(lesson.room) + "@" + slot).second);
    }
  }
  EXPECT_GT(unplaced, 0u);
  EXPECT_LT(unplaced, lessons.size() / 20);
  EXPECT_EQ(PlanLessons(school).size(), lessons.size());
}

TEST_F(HoraplanTables, SolucCarriesTheCataloguesCodes) {
  const School school = MakeSchool(1, 4);
  WriteCatalogues(school, dir_);
  const std::size_t rows = WriteHoraplanTables(school, dir_);

  const DbfTable soluc = DbfTable::Read(dir_ / "SOLUC.DBF");
  EXPECT_EQ(soluc.RowCount(), rows);
  EXPECT_EQ(soluc.language_driver(), 0x57);
  const std::vector<Lesson> lessons = PlaceLessons(school);
  ASSERT_EQ(lessons.size(), rows);
  const auto asig = soluc.Column("ASIG");
  const auto group = soluc.Column("CODGRUPO");
  const auto prof = soluc.Column("PROF");
  const auto aula = soluc.Column("AULA");
  const auto dia = soluc.Column("DIA");
  for (std::size_t i = 0; i < rows; i += 97) {
    EXPECT_EQ(asig[i], "S" + std::to_string(lessons[i].subject));
    EXPECT_EQ(group[i], "G" + std::to_string(lessons[i].group));
    EXPECT_EQ(prof[i], "T" + std::to_string(lessons[i].teacher));
    EXPECT_EQ(aula[i], lessons[i].room < 0 ? "" : "R" + std::to_string(lessons[i].room));
    EXPECT_EQ(dia[i], " " + std::to_string(lessons[i].day));
  }
}

TEST_F(HoraplanTables, DayHourTableHoldsFiveDaysOfSevenHours) {
  const DbfTable table = DbfTable::FromBytes(DayHourTable(0x57).Bytes(), "DIASHORAST");
  ASSERT_EQ(table.RowCount(), 35u);
  ASSERT_EQ(table.fields().size(), 8u);
  const auto day = table.Column("DIA");
  const auto name = table.Column("TEXTODIA");
  const auto hour = table.Column("HORA");
  EXPECT_EQ(day[14], "3");
  EXPECT_EQ(name[14], "Mi\xE9rcoles");  // Windows-1252, as Horaplan stores it
  EXPECT_EQ(hour[14], "1");
  EXPECT_EQ(table.Column("HORADESDE")[0], "8:15");
  EXPECT_EQ(table.Column("HORAHASTA")[34], "15:10");
}

TEST_F(HoraplanTables, CataloguesThatDoNotMatchTheSchoolAreRefused) {
  const School school = MakeSchool(1, 4);
  WriteCatalogues(school, dir_);
  EXPECT_THROW(ReadCatalogueCodes(MakeSchool(1, 5), dir_), std::runtime_error);  // other ids
  EXPECT_THROW(ReadCatalogueCodes(MakeSchool(2, 4), dir_), std::runtime_error);  // too few rows
  std::filesystem::remove(dir_ / "AULAT.DBF");
  EXPECT_THROW(ReadCatalogueCodes(school, dir_), std::runtime_error);
}

TEST_F(HoraplanTables, FindsTablesWhateverTheLetterCase) {
  DbfWriter({{"A", 'C', 1}}, 0x03).Save(dir_ / "proft.dbf");
  EXPECT_EQ(TableFile(dir_, "PROFT"), dir_ / "proft.dbf");
  EXPECT_EQ(TableFile(dir_, "SOLUC"), dir_ / "SOLUC.DBF");
}

}  // namespace
}  // namespace pontexa::bench
