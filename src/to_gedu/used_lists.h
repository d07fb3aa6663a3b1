#pragma once

#include "exchange/section_writer.h"
#include "to_gedu/activity_index.h"
#include "to_gedu/table_columns.h"

namespace pontexa::to_gedu {

// The catalogue lists of the time-table. Each walks its catalogue in stored
// order and keeps the rows whose code occurs (exactly, letter case included)
// in the matching column of SOLUC, whatever else that SOLUC row holds. A row is
// listed once however many lessons use it; rows sharing a used code are all
// listed. The tables passed must be open.

// `groups` with one `group id=IDGEDU` per GRUPOST row whose ABREV is a CODGRUPO.
void WriteUsedGroupList(exchange::SectionWriter& out, TableColumns& grupos, TableColumns& soluc);

// `members` with one `member id=IDGEDU` per PROFT row whose ABREV is a PROF.
void WriteUsedMemberList(exchange::SectionWriter& out, TableColumns& profesor, TableColumns& soluc);

// `activities` with one `activity id=aN name=NOMBRE subject=IDGEDU` per
// ASIGNOMT row whose COD is an ASIG, numbered from a1 without gaps; each is
// added to `index`.
void WriteActivityList(exchange::SectionWriter& out, TableColumns& nom_asg, TableColumns& soluc,
                       ActivityIndex& index);

}  // namespace pontexa::to_gedu
