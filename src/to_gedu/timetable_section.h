#pragma once

#include "exchange/section_writer.h"
#include "platform/findings.h"
#include "tables/table_store.h"

namespace pontexa::to_gedu {

// Writes a new time-tables section, built from DIASHORAST, SOLUC and the
// catalogue tables read through the table bindings, as it streams: the caller
// puts it in the exchange file (ExchangeFile::SaveWithSection). Raises Error
// when a table operation fails or a value cannot be written; every binding
// opened is closed again either way.
//
// The bindings are held exclusively in this schedule: DIASHORAST for the days;
// GRUPOST and SOLUC from the groups to the end; PROFT for the members; ASIGNOMT
// for the activities; then PROFT, AULAT and ASIGNOMT for the inputs. They are
// closed in the order SOLUC, GRUPOST, PROFT, AULAT, ASIGNOMT.
//
// Given Findings, it also checks the timetable it wrote (see CheckTimetable)
// and counts the rows it read, before it closes the tables.
void WriteTimetableSection(exchange::SectionWriter& out, const tables::TableStore& store,
                           Findings* findings = nullptr);

}  // namespace pontexa::to_gedu
