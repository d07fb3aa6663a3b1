#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exchange/section_writer.h"
#include "to_gedu/activity_index.h"
#include "to_gedu/table_columns.h"

namespace pontexa::to_gedu {

// The IDGEDU of the first catalogue row whose code field equals code exactly;
// the code itself when no row has it.
std::string IdentifierForCode(TableColumns& catalogue, std::string_view code_field,
                              const std::string& code);

// The tables the placement inputs read, opened by WriteInputList in this order.
struct InputTables {
  TableColumns& soluc;
  TableColumns& profesor;
  TableColumns& aulas;
  TableColumns& nom_asg;
  TableColumns& grupos;
};

// The days and intervals (slots) the SOLUC rows were placed in, each numbered
// in the order first met, with how many rows each holds: a slot costs a few
// bytes and a row nothing, however large the timetable. An interval that is
// not a finite number counts as -1 (no week has it), and -0 as 0.
class LessonSlots {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  using Slot = std::pair<std::int32_t, double>;

  // Counts one more row placed on `day` at `interval`.
  void AddPlaced(std::int32_t day, double interval);
  // The number of the slot of `day` and `interval`, or kNone when no row was
  // placed there.
  std::uint32_t NumberOf(std::int32_t day, double interval) const;

  std::size_t slot_count() const { return slots_.size(); }
  const Slot& slot(std::uint32_t number) const { return slots_[number]; }
  // The rows placed in the slot.
  std::uint32_t lessons(std::uint32_t number) const { return lessons_[number]; }
  // The same for every slot, by number.
  const std::vector<std::uint32_t>& lessons_per_slot() const { return lessons_; }

 private:
  // A day and interval as a hash key (the interval by its bits: never NaN here).
  struct SlotHash {
    std::size_t operator()(const Slot& slot) const;
  };
  static Slot Normal(std::int32_t day, double interval);
  std::vector<Slot> slots_;             // by number
  std::vector<std::uint32_t> lessons_;  // by number
  std::unordered_map<Slot, std::uint32_t, SlotHash> numbers_;
};

// The interval of the current SOLUC row: HORA, or 2 times HORA minus 1 for a
// lesson of half a session (SESIONES 0.5), counted in half-hour intervals.
double IntervalOfRow(const tables::Table& soluc);

// Writes an `inputs` element with one `input` per SOLUC row whose
// DIA is not 0, in stored order: its day, its interval ("i" and HORA, or 2 times
// HORA minus 1 when SESIONES is 0.5, in general number format with
// `decimal_separator`), its activity (found through `index` by the subject's
// identifier) and its group, teacher and room. Raises Error "List index out of
// bounds (-1)" for a lesson whose subject has no activity, and the table
// store's errors for fields that are missing or do not convert. Given
// `slots`, also counts the rows placed in each slot.
void WriteInputList(exchange::SectionWriter& out, const ActivityIndex& index,
                    const InputTables& tables, char decimal_separator,
                    LessonSlots* slots = nullptr);

}  // namespace pontexa::to_gedu
