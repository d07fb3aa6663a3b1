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
#include "to_gedu/staffing_by_slot.h"

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
// looked up in its catalogue once.
class CodeNumbers {
 public:
  explicit CodeNumbers(const Catalogue& catalogue) : catalogue_(catalogue) {}

  std::uint32_t NumberOf(std::string code) {
    // Rows often repeat the code of the row before: no lookup for them.
    if (!codes_.empty() && code == *codes_[last_]) return last_;
    const auto [at, fresh] =
        numbers_.try_emplace(std::move(code), static_cast<std::uint32_t>(codes_.size()));
    if (fresh) {
      const std::string& stored = at->first;  // a node's key stays where it is
      known_.push_back(stored.empty() ||
                       catalogue_.columns.FirstRow(catalogue_.code_field, stored).has_value());
      codes_.push_back(&stored);
      lessons_.push_back(0);
    }
    last_ = at->second;
    return last_;
  }
  std::size_t size() const { return codes_.size(); }
  const std::string& code(std::uint32_t n) const { return *codes_[n]; }
  bool known(std::uint32_t n) const { return known_[n]; }
  std::uint32_t& lessons(std::uint32_t n) { return lessons_[n]; }

 private:
  const Catalogue& catalogue_;
  std::unordered_map<std::string, std::uint32_t> numbers_;
  std::vector<const std::string*> codes_;  // by number: the keys of numbers_
  std::vector<bool> known_;
  std::vector<std::uint32_t> lessons_;
  std::uint32_t last_ = 0;
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

namespace {

// The check, pass by pass: ReadLessons walks SOLUC once more, in stored
// order, noting the lessons left out and numbering every code of a placed
// lesson, and gathers each slot's teachers and rooms (StaffingBySlot); the
// other passes go over what it gathered. What is held in memory grows with
// the slots and the distinct codes, not with the lessons.
class TimetableCheck {
 public:
  TimetableCheck(const WeekSlots& week, const LessonSlots& slots, const InputTables& tables,
                 const std::filesystem::path& scratch_folder, Findings& findings)
      : week_(week),
        slots_(slots),
        tables_(tables),
        findings_(findings),
        catalogues_{
            {tables.nom_asg, field::kCod, field::kAsig, "activity", messages::kTheSubject,
             tables::kAsignomt},
            {tables.grupos, field::kAbrev, field::kCodGrupo, "group", messages::kTheGroup,
             tables::kGrupost},
            {tables.profesor, field::kAbrev, field::kProf, "member", messages::kTheTeacher,
             tables::kProft},
            {tables.aulas, field::kAbrev, field::kAula, "location", messages::kTheRoom,
             tables::kAulat},
        },
        numbers_{CodeNumbers(catalogues_[0]), CodeNumbers(catalogues_[1]),
                 CodeNumbers(catalogues_[2]), CodeNumbers(catalogues_[3])},
        staffing_(slots.lessons_per_slot(), scratch_folder) {}

  void Run() {
    ReadLessons();
    FindClashes();
    NoteUnknownCodes();
    NoteSlotsNotInWeek();
    CountRows();
  }

 private:
  static constexpr std::size_t kSubject = 0, kGroup = 1, kTeacher = 2, kRoom = 3;
  // messages::TeacherInTwoRooms or messages::RoomWithTwoTeachers.
  using ClashMessage = decltype(&messages::TeacherInTwoRooms);

  void ReadLessons();
  void NoteSkippedLesson(const std::string& subject, const std::string& group,
                         const std::string& teacher);
  void FindClashes();
  void NoteClash(const char* kind, const char* field_name, const std::string& who,
                 const std::string& first, const std::string& second, std::uint32_t slot,
                 ClashMessage message);
  void NoteUnknownCodes();
  void NoteSlotsNotInWeek();
  void CountRows();

  const WeekSlots& week_;
  const LessonSlots& slots_;
  const InputTables& tables_;
  Findings& findings_;
  const Catalogue catalogues_[4];
  CodeNumbers numbers_[4];
  std::size_t rows_ = 0;  // SOLUC rows read
  // The teacher and room of each placed lesson having both, in stored order.
  StaffingBySlot staffing_;
};

void TimetableCheck::ReadLessons() {
  tables::Table& soluc = tables_.soluc.table();
  for (soluc.ToFirstRow(); !soluc.PastLastRow(); soluc.ToNextRow(), ++rows_) {
    // Every code field is read on every row, so that one SOLUC lacks fails
    // here whatever its rows hold.
    std::string codes[4];
    for (std::size_t c = 0; c < 4; ++c) codes[c] = soluc.TextOf(catalogues_[c].soluc_field);
    const std::int32_t day = soluc.IntegerOf(field::kDia);
    if (day == 0) {
      NoteSkippedLesson(codes[kSubject], codes[kGroup], codes[kTeacher]);
      continue;
    }
    std::uint32_t number[4];
    for (std::size_t c = 0; c < 4; ++c) {
      number[c] = numbers_[c].NumberOf(std::move(codes[c]));
      if (!numbers_[c].known(number[c])) ++numbers_[c].lessons(number[c]);
    }
    const std::uint32_t slot = slots_.NumberOf(day, IntervalOfRow(soluc));
    // Every placed row was counted in its slot as the list was written.
    if (slot == LessonSlots::kNone) continue;
    if (numbers_[kTeacher].code(number[kTeacher]).empty() ||
        numbers_[kRoom].code(number[kRoom]).empty()) {
      continue;
    }
    staffing_.Add(slot, {number[kTeacher], number[kRoom]});
  }
}

void TimetableCheck::NoteSkippedLesson(const std::string& subject, const std::string& group,
                                       const std::string& teacher) {
  const std::string number = std::to_string(rows_ + 1);
  findings_.Add({"skipped-lesson", tables::kSoluc, field::kDia, "", messages::Row(number),
                 messages::SkippedLesson(number, FindingText(subject), FindingText(group),
                                         FindingText(teacher))});
}

// Slot by slot: each teacher in one room, each room with one teacher.
void TimetableCheck::FindClashes() {
  FirstInSlot room_of_teacher(numbers_[kTeacher].size());
  FirstInSlot teacher_of_room(numbers_[kRoom].size());
  const CodeNumbers& teachers = numbers_[kTeacher];
  const CodeNumbers& rooms = numbers_[kRoom];
  for (std::uint32_t s = 0; s < slots_.slot_count(); ++s) {
    staffing_.ForEachIn(s, [&](StaffingBySlot::Staffing staffing) {
      const auto [teacher, room] = staffing;
      if (room_of_teacher.IsSecond(s, teacher, room)) {
        NoteClash("teacher-in-two-rooms", field::kAula, teachers.code(teacher),
                  rooms.code(room_of_teacher.first(teacher)), rooms.code(room), s,
                  messages::TeacherInTwoRooms);
      }
      if (teacher_of_room.IsSecond(s, room, teacher)) {
        NoteClash("room-with-two-teachers", field::kProf, rooms.code(room),
                  teachers.code(teacher_of_room.first(room)), teachers.code(teacher), s,
                  messages::RoomWithTwoTeachers);
      }
    });
  }
}

void TimetableCheck::NoteClash(const char* kind, const char* field_name, const std::string& who,
                               const std::string& first, const std::string& second,
                               std::uint32_t slot, ClashMessage message) {
  std::string shown_who = FindingText(who);
  const LessonSlots::Slot& day_and_interval = slots_.slot(slot);
  std::string detail =
      message(shown_who, FindingText(first), FindingText(second),
              std::to_string(day_and_interval.first), IntervalText(day_and_interval.second));
  findings_.Add({kind, tables::kSoluc, field_name, "", std::move(shown_who), std::move(detail)});
}

void TimetableCheck::NoteUnknownCodes() {
  for (std::size_t c = 0; c < 4; ++c) {
    CodeNumbers& numbers = numbers_[c];
    for (std::uint32_t n = 0; n < numbers.size(); ++n) {
      if (numbers.known(n) || numbers.lessons(n) == 0) continue;
      const std::string& code = numbers.code(n);
      findings_.Add({"code-not-in-catalogue", tables::kSoluc, catalogues_[c].soluc_field,
                     catalogues_[c].element, FindingText(code),
                     messages::CodeNotInCatalogue(FindingText(code), catalogues_[c].what,
                                                  numbers.lessons(n), catalogues_[c].table)});
    }
  }
}

void TimetableCheck::NoteSlotsNotInWeek() {
  for (std::uint32_t s = 0; s < slots_.slot_count(); ++s) {
    const LessonSlots::Slot& slot = slots_.slot(s);
    if (week_.Has(slot.first, slot.second)) continue;
    findings_.Add({"slot-not-in-week", tables::kSoluc, field::kHora, "",
                   messages::Slot(std::to_string(slot.first), IntervalText(slot.second)),
                   messages::SlotNotInWeek(slots_.lessons(s))});
  }
}

void TimetableCheck::CountRows() {
  findings_.CountRows(tables::kDiashorast, static_cast<std::int64_t>(week_.rows()));
  findings_.CountRows(tables::kSoluc, static_cast<std::int64_t>(rows_));
  for (const Catalogue& catalogue : catalogues_) {
    findings_.CountRows(catalogue.table, static_cast<std::int64_t>(
                                             catalogue.columns.Texts(catalogue.code_field).size()));
  }
}

}  // namespace

void CheckTimetable(const WeekSlots& week, const LessonSlots& slots, const InputTables& tables,
                    const std::filesystem::path& scratch_folder, Findings& findings) {
  TimetableCheck(week, slots, tables, scratch_folder, findings).Run();
}

}  // namespace pontexa::to_gedu
