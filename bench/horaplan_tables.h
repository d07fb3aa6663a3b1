#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "synthetic_school.h"

namespace pontexa::bench {

// What Horaplan would have made of the school: the filled day-and-hour table and
// a computed timetable, SOLUC, whose codes are those that the GEDU-to-Horaplan
// conversion wrote into the catalogue tables.

inline constexpr int kDays = 5;
inline constexpr int kHoursPerDay = 7;

// One row of SOLUC: a lesson of one teacher. Indices into the school's lists;
// day and hour 0 for a lesson Horaplan could not place; room -1 for none.
struct Lesson {
  int day = 0;
  int hour = 0;
  int subject = 0;
  int group = 0;
  int teacher = 0;
  int room = -1;
};

// Every weekly lesson of every assignment, group by group: the lessons of a group
// fill its 35 weekly slots in turn (options share slots), one row per teacher.
// The same school always gives the same lessons. Nothing keeps a teacher or a
// room out of two lessons at once: at k = 100 the timetable check finds some
// 200,000 clashes, which makes it the benchmark's stress case.
std::vector<Lesson> PlaceLessons(const School& school);

// The same lessons as a planner would place them: no teacher and no room in two
// lessons of one slot. Each lesson takes the first slot, from a point that
// moves on lesson by lesson, where each of its teachers is free or a colleague
// of the same department stands in; its room is the group's own, or else a
// free room of its copy, or else none. A lesson with no such slot is left
// unplaced, as are about 1 in 100 lessons at random. A group may still have
// two lessons in one slot (options share slots). The same school always gives
// the same lessons.
std::vector<Lesson> PlanLessons(const School& school);

// Which of the two timetables the Horaplan side of the benchmark writes.
enum class Timetable { kPlanned, kClashing };

// The codes by which the catalogue tables name each entity, in the school's order.
struct CatalogueCodes {
  std::vector<std::string> subjects;  // COD of ASIGNOMT
  std::vector<std::string> teachers;  // ABREV of PROFT
  std::vector<std::string> rooms;     // ABREV of AULAT
  std::vector<std::string> groups;    // ABREV of GRUPOST
  std::uint8_t language_driver = 0x03;
};

// Reads the four catalogue tables in `directory` and checks that they hold one
// row per entity of the school, in its order (by IDGEDU). Throws
// std::runtime_error when a table is missing or does not match the school.
CatalogueCodes ReadCatalogueCodes(const School& school, const std::filesystem::path& directory);

// The school week: five days of seven hours with their times.
DbfWriter DayHourTable(std::uint8_t language_driver);
DbfWriter SolutionTable(const std::vector<Lesson>& lessons, const CatalogueCodes& codes);

// Reads the catalogues in `directory` and writes DIASHORAST.DBF and SOLUC.DBF there.
// Returns the number of SOLUC rows.
std::size_t WriteHoraplanTables(const School& school, const std::filesystem::path& directory,
                                Timetable timetable = Timetable::kClashing);

// The path of table `name` (without extension) in `directory`, whatever the
// letter case of the file on disk; the upper-case name when there is none.
std::filesystem::path TableFile(const std::filesystem::path& directory, const std::string& name);

}  // namespace pontexa::bench
