#include "horaplan_tables.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "random.h"

namespace pontexa::bench {
namespace {

constexpr int kSlots = kDays * kHoursPerDay;

// Day names as Horaplan stores them, in Windows-1252.
constexpr const char* kDayNames[kDays] = {"Lunes", "Martes", "Mi\xE9rcoles", "Jueves", "Viernes"};
constexpr char kDayLetters[kDays] = {'L', 'M', 'X', 'J', 'V'};
// Fifty-five-minute periods from 8:15, with a half-hour break after the third.
constexpr const char* kStarts[kHoursPerDay] = {"8:15",  "9:10",  "10:05", "11:30",
                                               "12:25", "13:20", "14:15"};
constexpr const char* kEnds[kHoursPerDay] = {"9:10",  "10:05", "11:00", "12:25",
                                             "13:20", "14:15", "15:10"};

std::vector<std::string> CheckedColumn(const DbfTable& table, const std::filesystem::path& path,
                                       const char* field, const std::vector<std::string>& ids) {
  const std::vector<std::string> stored_ids = table.Column("IDGEDU");
  if (stored_ids.size() != ids.size()) {
    throw std::runtime_error(path.string() + " tiene " + std::to_string(stored_ids.size()) +
                             " filas y el centro " + std::to_string(ids.size()));
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (stored_ids[i] != ids[i]) {
      throw std::runtime_error(path.string() + ": la fila " + std::to_string(i + 1) +
                               " tiene IDGEDU " + stored_ids[i] + " y no " + ids[i]);
    }
  }
  return table.Column(field);
}

template <typename T>
std::vector<std::string> IdsOf(const std::vector<T>& entities) {
  std::vector<std::string> ids;
  ids.reserve(entities.size());
  for (const T& entity : entities) ids.push_back(entity.id);
  return ids;
}

}  // namespace

std::filesystem::path TableFile(const std::filesystem::path& directory, const std::string& name) {
  const std::string file_name = name + ".DBF";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    const std::string candidate = entry.path().filename().string();
    if (strcasecmp(candidate.c_str(), file_name.c_str()) == 0) return entry.path();
  }
  return directory / file_name;
}

std::vector<Lesson> PlaceLessons(const School& school) {
  Rng rng(school.seed ^ 0x50F7A5C0DE5ull);
  std::vector<Lesson> lessons;
  lessons.reserve(school.groups.size() * 70);
  for (std::size_t g = 0; g < school.groups.size(); ++g) {
    const Group& group = school.groups[g];
    int slot = rng.Below(kSlots);
    for (const Assignment& assignment : group.assignments) {
      const int weekly = LessonsPerWeek(school.subjects[assignment.subject]);
      for (int n = 0; n < weekly; ++n) {
        slot = (slot + 1) % kSlots;
        Lesson lesson;
        lesson.subject = assignment.subject;
        lesson.group = static_cast<int>(g);
        if (!rng.Chance(1)) {
          lesson.day = slot / kHoursPerDay + 1;
          lesson.hour = slot % kHoursPerDay + 1;
        }
        const int draw = rng.Below(100);
        if (draw < 80) {
          lesson.room = group.home_room;
        } else if (draw < 97) {
          lesson.room = group.copy * kRoomsPerCopy + rng.Below(kRoomsPerCopy);
        }
        for (int teacher : assignment.teachers) {
          lesson.teacher = teacher;
          lessons.push_back(lesson);
        }
      }
    }
  }
  return lessons;
}

std::vector<Lesson> PlanLessons(const School& school) {
  Rng rng(school.seed ^ 0x9A7E5C0DE5ull);
  // Who is busy in which slot, one bit per slot.
  static_assert(kSlots <= 64, "one bit per slot");
  std::vector<std::uint64_t> teacher_busy(school.teachers.size(), 0);
  std::vector<std::uint64_t> room_busy(school.rooms.size(), 0);
  // The teachers of each department of each copy, who stand in for one another.
  std::map<std::pair<int, int>, std::vector<int>> colleagues;
  for (std::size_t t = 0; t < school.teachers.size(); ++t) {
    const int copy = static_cast<int>(t) / kTeachersPerCopy;
    colleagues[{copy, school.teachers[t].department}].push_back(static_cast<int>(t));
  }
  // The teachers who can give a lesson in `slot`: each assigned teacher, or a
  // free colleague of the same department; empty when someone is missing.
  const auto staff = [&](const Assignment& assignment, int slot) {
    std::vector<int> chosen;
    for (int teacher : assignment.teachers) {
      int found = -1;
      if ((teacher_busy[teacher] >> slot & 1) == 0) {
        found = teacher;
      } else {
        const int copy = teacher / kTeachersPerCopy;
        for (int other : colleagues[{copy, school.teachers[teacher].department}]) {
          if ((teacher_busy[other] >> slot & 1) == 0 &&
              std::find(chosen.begin(), chosen.end(), other) == chosen.end() &&
              std::find(assignment.teachers.begin(), assignment.teachers.end(), other) ==
                  assignment.teachers.end()) {
            found = other;
            break;
          }
        }
      }
      if (found < 0 || std::find(chosen.begin(), chosen.end(), found) != chosen.end())
        return std::vector<int>();
      chosen.push_back(found);
    }
    return chosen;
  };

  std::vector<Lesson> lessons;
  lessons.reserve(school.groups.size() * 70);
  for (std::size_t g = 0; g < school.groups.size(); ++g) {
    const Group& group = school.groups[g];
    int start = rng.Below(kSlots);
    for (const Assignment& assignment : group.assignments) {
      const int weekly = LessonsPerWeek(school.subjects[assignment.subject]);
      for (int n = 0; n < weekly; ++n) {
        Lesson lesson;
        lesson.subject = assignment.subject;
        lesson.group = static_cast<int>(g);
        int slot = -1;
        std::vector<int> teachers = assignment.teachers;
        if (!rng.Chance(1)) {
          for (int step = 0; step < kSlots && slot < 0; ++step) {
            const int candidate = (start + step) % kSlots;
            std::vector<int> chosen = staff(assignment, candidate);
            if (!chosen.empty()) {
              slot = candidate;
              teachers = std::move(chosen);
            }
          }
        }
        start = (start + 1) % kSlots;
        if (slot >= 0) {
          lesson.day = slot / kHoursPerDay + 1;
          lesson.hour = slot % kHoursPerDay + 1;
          const std::uint64_t bit = std::uint64_t{1} << slot;
          for (int teacher : teachers) teacher_busy[teacher] |= bit;
        }
        // Each teacher of the lesson has a room of their own (a group taught
        // by two is split in two rooms): the group's room when it is free,
        // else a free room of the same copy, else none.
        for (int teacher : teachers) {
          lesson.teacher = teacher;
          lesson.room = -1;
          if (slot >= 0) {
            const std::uint64_t bit = std::uint64_t{1} << slot;
            if ((room_busy[group.home_room] & bit) == 0) {
              lesson.room = group.home_room;
            } else {
              const int first = rng.Below(kRoomsPerCopy);
              for (int r = 0; r < kRoomsPerCopy && lesson.room < 0; ++r) {
                const int room = group.copy * kRoomsPerCopy + (first + r) % kRoomsPerCopy;
                if ((room_busy[room] & bit) == 0) lesson.room = room;
              }
            }
            if (lesson.room >= 0) room_busy[lesson.room] |= bit;
          }
          lessons.push_back(lesson);
        }
      }
    }
  }
  return lessons;
}

CatalogueCodes ReadCatalogueCodes(const School& school, const std::filesystem::path& directory) {
  CatalogueCodes codes;
  const auto read = [&](const char* name) {
    const std::filesystem::path path = TableFile(directory, name);
    return std::make_pair(DbfTable::Read(path), path);
  };
  {
    const auto [table, path] = read("ASIGNOMT");
    codes.subjects = CheckedColumn(table, path, "COD", IdsOf(school.subjects));
  }
  {
    const auto [table, path] = read("PROFT");
    codes.teachers = CheckedColumn(table, path, "ABREV", IdsOf(school.teachers));
    codes.language_driver = table.language_driver();
  }
  {
    const auto [table, path] = read("AULAT");
    codes.rooms = CheckedColumn(table, path, "ABREV", IdsOf(school.rooms));
  }
  {
    const auto [table, path] = read("GRUPOST");
    codes.groups = CheckedColumn(table, path, "ABREV", IdsOf(school.groups));
  }
  return codes;
}

DbfWriter DayHourTable(std::uint8_t language_driver) {
  DbfWriter table({{"DIHO", 'C', 10},
                   {"CODDIHO", 'C', 10},
                   {"DIA", 'C', 20},
                   {"TEXTODIA", 'C', 20},
                   {"HORA", 'C', 8},
                   {"HORADESDE", 'C', 8},
                   {"HORAHASTA", 'C', 8},
                   {"MINUTOS", 'C', 8}},
                  language_driver);
  for (int d = 1; d <= kDays; ++d) {
    for (int h = 1; h <= kHoursPerDay; ++h) {
      table.AddRow({std::string(1, kDayLetters[d - 1]) + std::to_string(h),
                    std::to_string(d * 100 + h), std::to_string(d), kDayNames[d - 1],
                    std::to_string(h), kStarts[h - 1], kEnds[h - 1], "55"});
    }
  }
  return table;
}

DbfWriter SolutionTable(const std::vector<Lesson>& lessons, const CatalogueCodes& codes) {
  DbfWriter table({{"DIA", 'N', 2, 0},
                   {"HORA", 'N', 2, 0},
                   {"SESIONES", 'N', 4, 1},
                   {"ASIG", 'C', 4},
                   {"CODGRUPO", 'C', 4},
                   {"PROF", 'C', 4},
                   {"AULA", 'C', 4}},
                  codes.language_driver);
  for (const Lesson& lesson : lessons) {
    table.AddRow({std::to_string(lesson.day), std::to_string(lesson.hour), "1.0",
                  codes.subjects.at(lesson.subject), codes.groups.at(lesson.group),
                  codes.teachers.at(lesson.teacher),
                  lesson.room < 0 ? std::string() : codes.rooms.at(lesson.room)});
  }
  return table;
}

std::size_t WriteHoraplanTables(const School& school, const std::filesystem::path& directory,
                                Timetable timetable) {
  const CatalogueCodes codes = ReadCatalogueCodes(school, directory);
  DayHourTable(codes.language_driver).Save(TableFile(directory, "DIASHORAST"));
  const DbfWriter solution = SolutionTable(
      timetable == Timetable::kPlanned ? PlanLessons(school) : PlaceLessons(school), codes);
  solution.Save(TableFile(directory, "SOLUC"));
  return solution.RowCount();
}

}  // namespace pontexa::bench
