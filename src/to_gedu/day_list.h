#pragma once

#include <string>
#include <string_view>

#include "exchange/section_writer.h"
#include "to_gedu/table_columns.h"

namespace pontexa::to_gedu {

// The end time as written: a text of 1 to 4 characters not starting with "0"
// gets a "0" in front ("9:55" gives "09:55"); any other text stays as it is.
std::string EndTimeText(std::string_view end_time);

// Writes a `days` element with one `day` per day number 1 to 7
// found in DIASHORAST (named after its first row) and, under each, one
// `interval` per row of that day whose hour is 1 to 40: by hour, rows of one
// hour in stored order, duplicates kept. `dias_horas` must be open.
void WriteDayList(exchange::SectionWriter& out, TableColumns& dias_horas);

}  // namespace pontexa::to_gedu
