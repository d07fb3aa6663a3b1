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

// Where the SOLUC rows were placed: each row's slot (a day and interval) as a
// number in the order first met, so that a row costs four bytes however large
// the timetable. An interval that is not a finite number counts as -1 (no
// week has it), and -0 as 0.
class LessonSlots {
 public:
  static constexpr std::uint32_t kNotPlaced = UINT32_MAX;
  using Slot = std::pair<std::int32_t, double>;

  void reserve(std::size_t rows) { slot_of_row_.reserve(rows); }
  // The next row, left out of the week (DIA 0).
  void AddNotPlaced() { slot_of_row_.push_back(kNotPlaced); }
  // The next row, placed on `day` at `interval`.
  void AddPlaced(std::int32_t day, double interval);

  std::size_t rows() const { return slot_of_row_.size(); }
  // The row's slot number, or kNotPlaced.
  std::uint32_t SlotOfRow(std::size_t row) const { return slot_of_row_[row]; }
  std::size_t slot_count() const { return slots_.size(); }
  const Slot& slot(std::uint32_t number) const { return slots_[number]; }

 private:
  // A day and interval as a hash key (the interval by its bits: never NaN here).
  struct SlotHash {
    std::size_t operator()(const Slot& slot) const;
  };
  std::vector<std::uint32_t> slot_of_row_;
  std::vector<Slot> slots_;  // by number
  std::unordered_map<Slot, std::uint32_t, SlotHash> numbers_;
};

// Writes an `inputs` element with one `input` per SOLUC row whose
// DIA is not 0, in stored order: its day, its interval ("i" and HORA, or 2 times
// HORA minus 1 when SESIONES is 0.5, in general number format with
// `decimal_separator`), its activity (found through `index` by the subject's
// identifier) and its group, teacher and room. Raises Error "List index out of
// bounds (-1)" for a lesson whose subject has no activity, and the table
// store's errors for fields that are missing or do not convert. Given
// `slots`, also gives where each SOLUC row went.
void WriteInputList(exchange::SectionWriter& out, const ActivityIndex& index,
                    const InputTables& tables, char decimal_separator,
                    LessonSlots* slots = nullptr);

}  // namespace pontexa::to_gedu
