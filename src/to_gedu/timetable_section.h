#pragma once

#include "exchange/document.h"
#include "platform/findings.h"
#include "tables/table_store.h"

namespace pontexa::to_gedu {

// Replaces the time-tables section under the document element with a new one
// built from DIASHORAST, SOLUC and the catalogue tables, read through the table
// bindings. Changes the document in memory only; the run control saves it.
// Raises Error when the document has no root element or a table or document
// operation fails; every binding opened is closed again either way.
//
// The bindings are held exclusively in this schedule: DIASHORAST for the days;
// GRUPOST and SOLUC from the groups to the end; PROFT for the members; ASIGNOMT
// for the activities; then PROFT, AULAT and ASIGNOMT for the inputs. They are
// closed in the order SOLUC, GRUPOST, PROFT, AULAT, ASIGNOMT.
//
// Given Findings, it also checks the timetable it wrote (see CheckTimetable)
// and counts the rows it read, before it closes the tables.
void WriteTimetableSection(exchange::Document& document, const tables::TableStore& store,
                           Findings* findings = nullptr);

}  // namespace pontexa::to_gedu
