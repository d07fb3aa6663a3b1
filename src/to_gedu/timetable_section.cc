#include "to_gedu/timetable_section.h"

#include <cstdio>

#include "exchange/vocabulary.h"
#include "platform/error.h"
#include "tables/catalogue.h"
#include "to_gedu/activity_index.h"
#include "to_gedu/day_list.h"
#include "to_gedu/input_list.h"
#include "to_gedu/table_columns.h"
#include "to_gedu/timetable_check.h"
#include "to_gedu/used_lists.h"

namespace pontexa::to_gedu {

namespace vocabulary = exchange::vocabulary;
using tables::Binding;
using tables::TableBinding;

void WriteTimetableSection(exchange::SectionWriter& out, const tables::TableStore& store,
                           Findings* findings) {
  out.StartElement(vocabulary::kTimeTables);
  out.StartElement(vocabulary::kTimeTable);
  char time_table_id[16];
  std::snprintf(time_table_id, sizeof time_table_id, vocabulary::kTimeTableIdFormat, 1);
  out.SetAttribute(vocabulary::kId, time_table_id);
  out.SetAttribute(vocabulary::kName, vocabulary::kTimeTableName);

  // Each binding closes itself when destroyed, so an error anywhere releases
  // every table, whatever the order of destruction.
  TableBinding dias_horas_binding(store, Binding::kDiasHoras);
  TableBinding grupos_binding(store, Binding::kGrupos);
  TableBinding soluc_binding(store, Binding::kSoluc);
  TableBinding profesor_binding(store, Binding::kProfesor);
  TableBinding nom_asg_binding(store, Binding::kNomAsg);
  TableBinding aulas_binding(store, Binding::kAulas);
  TableColumns dias_horas(dias_horas_binding);
  TableColumns grupos(grupos_binding);
  TableColumns soluc(soluc_binding);
  TableColumns profesor(profesor_binding);
  TableColumns nom_asg(nom_asg_binding);
  TableColumns aulas(aulas_binding);

  dias_horas.Open();
  WriteDayList(out, dias_horas);
  const WeekSlots week = findings != nullptr ? WeekSlots::Read(dias_horas) : WeekSlots();
  dias_horas.Close();

  grupos.Open();
  soluc.Open();
  WriteUsedGroupList(out, grupos, soluc);

  profesor.Open();
  WriteUsedMemberList(out, profesor, soluc);
  profesor.Close();

  ActivityIndex index;
  nom_asg.Open();
  WriteActivityList(out, nom_asg, soluc, index);
  nom_asg.Close();

  const InputTables input_tables{soluc, profesor, aulas, nom_asg, grupos};
  LessonSlots lessons;
  WriteInputList(out, index, input_tables, store.regional().decimal_separator,
                 findings != nullptr ? &lessons : nullptr);
  out.EndElement();
  out.EndElement();
  out.Finish();
  if (findings != nullptr)
    CheckTimetable(week, lessons, input_tables, store.table_folder(), *findings);

  soluc.Close();
  grupos.Close();
  profesor.Close();
  aulas.Close();
  nom_asg.Close();
}

}  // namespace pontexa::to_gedu
