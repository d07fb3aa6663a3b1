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

namespace {

constexpr char kNoRootMessage[] =
    "El archivo de intercambio no tiene elemento raíz: no se puede escribir en él la sección "
    "de horarios";

// Removes every time-tables child of the root; deeper elements of that name stay.
void RemoveEarlierSections(exchange::Element root) {
  for (exchange::Node old = root.SelectSingleNode(vocabulary::kTimeTables); old;
       old = root.SelectSingleNode(vocabulary::kTimeTables)) {
    root.RemoveChild(old);
  }
}

}  // namespace

void WriteTimetableSection(exchange::Document& document, const tables::TableStore& store,
                           Findings* findings) {
  exchange::Element root = document.DocumentElement();
  if (!root) throw Error(kNoRootMessage);

  RemoveEarlierSections(root);
  exchange::Element time_tables = root.AppendChild(document.CreateElement(vocabulary::kTimeTables));
  exchange::Element time_table = document.CreateElement(vocabulary::kTimeTable);
  char time_table_id[16];
  std::snprintf(time_table_id, sizeof time_table_id, vocabulary::kTimeTableIdFormat, 1);
  time_table.SetAttribute(vocabulary::kId, time_table_id);
  time_table.SetAttribute(vocabulary::kName, vocabulary::kTimeTableName);
  time_tables.AppendChild(time_table);

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
  WriteDayList(document, time_table, dias_horas);
  const WeekSlots week = findings != nullptr ? WeekSlots::Read(dias_horas) : WeekSlots();
  dias_horas.Close();

  grupos.Open();
  soluc.Open();
  WriteUsedGroupList(document, time_table, grupos, soluc);

  profesor.Open();
  WriteUsedMemberList(document, time_table, profesor, soluc);
  profesor.Close();

  ActivityIndex index;
  nom_asg.Open();
  WriteActivityList(document, time_table, nom_asg, soluc, index);
  nom_asg.Close();

  const InputTables input_tables{soluc, profesor, aulas, nom_asg, grupos};
  std::vector<LessonSlot> lessons;
  WriteInputList(document, time_table, index, input_tables, store.regional().decimal_separator,
                 findings != nullptr ? &lessons : nullptr);
  if (findings != nullptr) CheckTimetable(week, lessons, input_tables, *findings);

  soluc.Close();
  grupos.Close();
  profesor.Close();
  aulas.Close();
  nom_asg.Close();
}

}  // namespace pontexa::to_gedu
