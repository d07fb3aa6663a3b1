#pragma once

#include "exchange/document.h"
#include "tables/table_store.h"

namespace pontexa::to_horaplan {

// The six steps of the GEDU-to-Horaplan conversion, in the order the run calls
// them. Each drops and re-creates its table in the store's directory; failures
// raise Error and end the run; every table a step opens is closed when it ends.
void BuildSubjectTable(const exchange::Document& document, const tables::TableStore& store);
void BuildTeacherTable(const exchange::Document& document, const tables::TableStore& store);
void BuildRoomTable(const exchange::Document& document, const tables::TableStore& store);
void BuildGroupTable(const exchange::Document& document, const tables::TableStore& store);
void BuildAssignmentTable(const exchange::Document& document, const tables::TableStore& store);
void CreateDayHourTable(const tables::TableStore& store);

}  // namespace pontexa::to_horaplan
