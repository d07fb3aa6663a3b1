#pragma once

#include "exchange/school_records.h"
#include "platform/findings.h"
#include "tables/table_store.h"

namespace pontexa::to_horaplan {

// The six steps of the GEDU-to-Horaplan conversion, in the order the run calls
// them. Each drops and re-creates its table in the store's table folder and writes
// one row per element, in document order; failures raise Error and end the run,
// leaving the rows saved so far; every table a step opens is closed when it
// ends, also on failure. Given Findings, a step adds what the user should know
// of what it wrote (values cut or changed, identifiers missing, repeated or
// unknown, codes made unique) and the rows it wrote; it writes the same either way.
//
// Raises the in-use error when another program holds any of the six tables the
// steps rebuild (or has one open); the run asks first, so that a held table
// stops it before any table is touched.
void CheckTablesNotHeld(const tables::TableStore& store);

// Each reads the records of one pass over the exchange file (see
// exchange::ReadSchoolRecords), taken whole before any table is touched.
//
// ASIGNOMT: one row per subject (COD, CODLARGO, NOMBRE, IDGEDU, HORAS).
void BuildSubjectTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                       Findings* findings = nullptr);
// PROFT and AULAT: one row per teacher / location (ABREV, NOMBRE, IDGEDU).
void BuildTeacherTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                       Findings* findings = nullptr);
void BuildRoomTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                    Findings* findings = nullptr);
// GRUPOST: one row per group, its name cut into CURSO, NIVEL and GRUPO.
void BuildGroupTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                     Findings* findings = nullptr);
// ASIGT: one row per assigned subject of each group, with the codes looked up by
// GEDU identifier in GRUPOST, ASIGNOMT and PROFT (held exclusively meanwhile,
// with AULAT). An identifier without a row gives empty codes.
void BuildAssignmentTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                          Findings* findings = nullptr);
// DIASHORAST: created empty, for Horaplan to fill.
void CreateDayHourTable(const tables::TableStore& store, Findings* findings = nullptr);

}  // namespace pontexa::to_horaplan
