#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "platform/findings.h"
#include "to_gedu/input_list.h"
#include "to_gedu/table_columns.h"

namespace pontexa::to_gedu {

// The day and interval numbers the week of DIASHORAST defines, read from its
// columns while it is open.
class WeekSlots {
 public:
  static WeekSlots Read(TableColumns& dias_horas);
  bool Has(std::int32_t day, double interval) const;
  std::size_t rows() const { return rows_; }

 private:
  std::set<std::pair<std::int32_t, std::int64_t>> slots_;
  std::size_t rows_ = 0;
};

// Notes what the Horaplan-to-GEDU conversion wrote that the user should know
// of, from where the input list placed each SOLUC row (`lessons`)
// and the columns already loaded; the section written is not touched:
//   code-not-in-catalogue  a teacher, room, group or subject code of a placed
//                          lesson that no catalogue row holds (written as the id);
//   skipped-lesson         a SOLUC row with DIA 0, which is left out;
//   slot-not-in-week       placed lessons whose day and interval DIASHORAST lacks;
//   teacher-in-two-rooms   one teacher in two rooms in one day and interval;
//   room-with-two-teachers one room given to two teachers in one day and interval.
// SOLUC is read once more; time grows linearly with the lessons, memory with
// the slots and distinct codes (a large timetable's teachers and rooms by slot
// go to a scratch file in `scratch_folder`). Also counts the rows read.
void CheckTimetable(const WeekSlots& week, const LessonSlots& lessons, const InputTables& tables,
                    const std::filesystem::path& scratch_folder, Findings& findings);

}  // namespace pontexa::to_gedu
