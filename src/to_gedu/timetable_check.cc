#include "to_gedu/timetable_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/code_page.h"
#include "platform/numbers.h"
#include "tables/catalogue.h"
#include "to_gedu/messages.h"

namespace pontexa::to_gedu {

namespace field = tables::field;

namespace {

// A whole number from a table's text ("3", "  3", "3.0"); nothing otherwise.
std::optional<std::int64_t> WholeNumber(std::string text) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + begin, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value != std::floor(value)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(value);
}

std::string IntervalText(double interval) {
  std::string text(1, 'i');
  // Whole intervals are the rule; the general number format is slow.
  if (interval == std::floor(interval) && std::abs(interval) < 1e15) {
    text += std::to_string(static_cast<std::int64_t>(interval));
  } else {
    text += FormatGeneral(interval, '.');
  }
  return text;
}

// One catalogue whose codes SOLUC uses.
struct Catalogue {
  TableColumns& columns;
  const char* code_field;   // in the catalogue
  const char* soluc_field;  // in SOLUC
  const char* element;      // what the code becomes in the section
  const char* what;         // messages::kTheSubject...
  const char* table;
};

// The codes of one SOLUC column as small numbers in the order first met, each
// looked up in its catalogue once. The column already numbers its distinct
// codes: its number leads to ours without hashing the code again.
class CodeNumbers {
 public:
  CodeNumbers(const Catalogue& catalogue, const tables::TextColumn& column)
      : catalogue_(catalogue), column_(column), ours_(column.DistinctCount(), kNone) {}

  std::uint32_t NumberOfRow(std::size_t row) {
    std::uint32_t& number = ours_[column_.NumberAt(row)];
    if (number == kNone) {
      const std::string& code = column_[row];
      number = static_cast<std::uint32_t>(codes_.size());
      codes_.push_back(code);
      known_.push_back(code.empty() ||
                       catalogue_.columns.FirstRow(catalogue_.code_field, code).has_value());
      lessons_.push_back(0);
    }
    return number;
  }
  std::size_t size() const { return codes_.size(); }
  const std::string& code(std::uint32_t n) const { return codes_[n]; }
  bool known(std::uint32_t n) const { return known_[n]; }
  std::size_t& lessons(std::uint32_t n) { return lessons_[n]; }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  const Catalogue& catalogue_;
  const tables::TextColumn& column_;
  std::vector<std::uint32_t> ours_;  // by the column's number
  std::vector<std::string> codes_;
  std::vector<bool> known_;
  std::vector<std::size_t> lessons_;
};

// For each teacher (or room), the room (or teacher) it had first in the slot
// being checked: arrays by code number, valid where their stamp is the slot's,
// so that moving to the next slot costs nothing.
class FirstInSlot {
 public:
  explicit FirstInSlot(std::size_t codes) : stamp_(codes, -1), other_(codes), noted_(codes) {}

  // True the first time `who` has an `other` differing from its first one in `slot`.
  bool IsSecond(std::int64_t slot, std::uint32_t who, std::uint32_t other) {
    if (stamp_[who] != slot) {
      stamp_[who] = slot;
      other_[who] = other;
      noted_[who] = false;
      return false;
    }
    if (other_[who] == other || noted_[who]) return false;
    noted_[who] = true;
    return true;
  }
  std::uint32_t first(std::uint32_t who) const { return other_[who]; }

 private:
  std::vector<std::int64_t> stamp_;
  std::vector<std::uint32_t> other_;
  std::vector<bool> noted_;
};

}  // namespace

WeekSlots WeekSlots::Read(TableColumns& dias_horas) {
  WeekSlots week;
  const tables::TextColumn& days = dias_horas.Texts(field::kDia);
  const tables::TextColumn& hours = dias_horas.Texts(field::kHora);
  week.rows_ = days.size();
  for (std::size_t row = 0; row < days.size(); ++row) {
    const auto day = WholeNumber(days[row]);
    const auto hour = WholeNumber(hours[row]);
    if (day && hour) week.slots_.emplace(static_cast<std::int32_t>(*day), *hour);
  }
  return week;
}

bool WeekSlots::Has(std::int32_t day, double interval) const {
  if (interval != std::floor(interval) || std::abs(interval) > 1e15) return false;
  return slots_.count({day, static_cast<std::int64_t>(interval)}) != 0;
}

void CheckTimetable(const WeekSlots& week, const LessonSlots& lessons,
                    const InputTables& tables, Findings& findings) {
  const Catalogue catalogues[] = {
      {tables.nom_asg, field::kCod, field::kAsig, "activity", messages::kTheSubject,
       tables::kAsignomt},
      {tables.grupos, field::kAbrev, field::kCodGrupo, "group", messages::kTheGroup,
       tables::kGrupost},
      {tables.profesor, field::kAbrev, field::kProf, "member", messages::kTheTeacher,
       tables::kProft},
      {tables.aulas, field::kAbrev, field::kAula, "location", messages::kTheRoom, tables::kAulat},
  };
  constexpr std::size_t kSubject = 0, kGroup = 1, kTeacher = 2, kRoom = 3;
  // The code columns of SOLUC, most of them read already by the lists.
  std::vector<const tables::TextColumn*> columns;
  std::vector<CodeNumbers> numbers;
  for (const Catalogue& catalogue : catalogues) {
    columns.push_back(&tables.soluc.Texts(catalogue.soluc_field));
    numbers.emplace_back(catalogue, *columns.back());
  }
  const std::size_t rows = std::min(lessons.rows(), columns[kSubject]->size());

  // First pass, in stored order: every code of a placed lesson gets its
  // number; unknown codes are counted, and lessons per slot.
  std::vector<std::uint32_t> lessons_in_slot(lessons.slot_count(), 0);
  std::size_t row = 0;
  for (; row < rows; ++row) {
    const std::uint32_t slot = lessons.SlotOfRow(row);
    if (slot == LessonSlots::kNotPlaced) {
      const std::string number = std::to_string(row + 1);
      findings.Add({"skipped-lesson", tables::kSoluc, field::kDia, "", messages::Row(number),
                    messages::SkippedLesson(number, FindingText((*columns[kSubject])[row]),
                                            FindingText((*columns[kGroup])[row]),
                                            FindingText((*columns[kTeacher])[row]))});
      continue;
    }
    ++lessons_in_slot[slot];
    for (std::size_t c = 0; c < std::size(catalogues); ++c) {
      const std::uint32_t n = numbers[c].NumberOfRow(row);
      if (!numbers[c].known(n)) ++numbers[c].lessons(n);
    }
  }
  // Slots met only past the rows checked have no lessons and are left out.
  std::size_t slot_count = lessons.slot_count();
  while (slot_count > 0 && lessons_in_slot[slot_count - 1] == 0) --slot_count;

  // Second pass, slot by slot (the rows of each slot gathered by counting):
  // each teacher in one room, each room with one teacher.
  std::vector<std::uint32_t> start(slot_count + 1, 0);
  for (std::size_t s = 0; s < slot_count; ++s) start[s + 1] = start[s] + lessons_in_slot[s];
  std::vector<std::uint32_t> by_slot(start.back());
  std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
  for (std::size_t r = 0; r < row; ++r) {
    const std::uint32_t slot = lessons.SlotOfRow(r);
    if (slot != LessonSlots::kNotPlaced) by_slot[next[slot]++] = static_cast<std::uint32_t>(r);
  }
  const auto slots = [&lessons](std::size_t s) -> const LessonSlots::Slot& {
    return lessons.slot(static_cast<std::uint32_t>(s));
  };
  FirstInSlot room_of_teacher(numbers[kTeacher].size());
  FirstInSlot teacher_of_room(numbers[kRoom].size());
  // One teacher in two rooms, or one room with two teachers, in a slot; the
  // sentence comes from `message` (messages::TeacherInTwoRooms...).
  const auto clash = [&](const char* kind, const char* field_name, const std::string& who,
                         const std::string& first, const std::string& second, std::size_t slot,
                         auto message) {
    std::string shown_who = FindingText(who);
    std::string detail =
        message(shown_who, FindingText(first), FindingText(second),
                std::to_string(slots(slot).first), IntervalText(slots(slot).second));
    findings.Add({kind, tables::kSoluc, field_name, "", std::move(shown_who), std::move(detail)});
  };
  for (std::size_t s = 0; s < slot_count; ++s) {
    for (std::size_t i = start[s]; i < start[s + 1]; ++i) {
      // Numbered in the first pass: looking them up again costs two reads.
      const std::uint32_t teacher = numbers[kTeacher].NumberOfRow(by_slot[i]);
      const std::uint32_t room = numbers[kRoom].NumberOfRow(by_slot[i]);
      const std::string& teacher_code = numbers[kTeacher].code(teacher);
      const std::string& room_code = numbers[kRoom].code(room);
      if (teacher_code.empty() || room_code.empty()) continue;
      const auto slot = static_cast<std::int64_t>(s);
      if (room_of_teacher.IsSecond(slot, teacher, room)) {
        clash("teacher-in-two-rooms", field::kAula, teacher_code,
              numbers[kRoom].code(room_of_teacher.first(teacher)), room_code, s,
              messages::TeacherInTwoRooms);
      }
      if (teacher_of_room.IsSecond(slot, room, teacher)) {
        clash("room-with-two-teachers", field::kProf, room_code,
              numbers[kTeacher].code(teacher_of_room.first(room)), teacher_code, s,
              messages::RoomWithTwoTeachers);
      }
    }
  }

  for (std::size_t c = 0; c < std::size(catalogues); ++c) {
    for (std::uint32_t n = 0; n < numbers[c].size(); ++n) {
      if (numbers[c].known(n) || numbers[c].lessons(n) == 0) continue;
      const std::string& code = numbers[c].code(n);
      const std::size_t lessons = numbers[c].lessons(n);
      findings.Add({"code-not-in-catalogue", tables::kSoluc, catalogues[c].soluc_field,
                    catalogues[c].element, FindingText(code),
                    messages::CodeNotInCatalogue(FindingText(code), catalogues[c].what, lessons,
                                                 catalogues[c].table)});
    }
  }
  for (std::size_t s = 0; s < slot_count; ++s) {
    if (lessons_in_slot[s] == 0 || week.Has(slots(s).first, slots(s).second)) continue;
    const std::size_t in_slot = lessons_in_slot[s];
    findings.Add({"slot-not-in-week", tables::kSoluc, field::kHora, "",
                  messages::Slot(std::to_string(slots(s).first), IntervalText(slots(s).second)),
                  messages::SlotNotInWeek(in_slot)});
  }

  findings.CountRows(tables::kDiashorast, static_cast<std::int64_t>(week.rows()));
  findings.CountRows(tables::kSoluc, static_cast<std::int64_t>(row));
  for (const Catalogue& catalogue : catalogues) {
    findings.CountRows(catalogue.table, static_cast<std::int64_t>(
                                            catalogue.columns.Texts(catalogue.code_field).size()));
  }
}

}  // namespace pontexa::to_gedu
