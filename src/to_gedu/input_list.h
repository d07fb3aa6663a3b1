#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// Where one SOLUC row was placed: its day (0: not placed) and interval.
struct LessonSlot {
  std::int32_t day = 0;
  double interval = 0;
};

// Writes an `inputs` element with one `input` per SOLUC row whose
// DIA is not 0, in stored order: its day, its interval ("i" and HORA, or 2 times
// HORA minus 1 when SESIONES is 0.5, in general number format with
// `decimal_separator`), its activity (found through `index` by the subject's
// identifier) and its group, teacher and room. Raises Error "List index out of
// bounds (-1)" for a lesson whose subject has no activity, and the table
// store's errors for fields that are missing or do not convert. Given
// `slots`, also gives where each SOLUC row went, one entry per row.
void WriteInputList(exchange::SectionWriter& out, const ActivityIndex& index,
                    const InputTables& tables, char decimal_separator,
                    std::vector<LessonSlot>* slots = nullptr);

}  // namespace pontexa::to_gedu
