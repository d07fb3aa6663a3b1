#include "to_horaplan/table_builds.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/code_page.h"
#include "platform/error.h"
#include "tables/catalogue.h"
#include "to_horaplan/build_notes.h"
#include "to_horaplan/group_name.h"
#include "to_horaplan/hours.h"
#include "to_horaplan/messages.h"
#include "to_horaplan/short_codes.h"

namespace pontexa::to_horaplan {

namespace field = tables::field;
using tables::Binding;
using tables::Table;
using tables::TableBinding;

namespace {

std::size_t FieldWidth(const tables::Layout& layout, std::string_view field) {
  for (const tables::FieldLayout& spec : layout) {
    if (spec.name == field) return static_cast<std::size_t>(spec.width);
  }
  throw Error(messages::FieldNotInLayout(field));
}

// Digits only, and few enough for the field: the hours as they usually come.
bool IsWholeNumber(std::string_view text) {
  return !text.empty() && text.size() <= 8 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What the error names when an element cannot get a code.
struct ElementLabel {
  const char* kind;  // "la asignatura", "el profesor", ...
  std::string id;    // 8-bit text
  std::string name;  // 8-bit text
};

std::string UniqueCodeFor(std::string_view base, UsedCodes& used, const ElementLabel& label,
                          BuildNotes& notes, const char* field) {
  if (std::optional<std::string> code = MakeUniqueCode(base, used)) {
    notes.CheckCode(field, used.StoredForm(base), *code, label.id);
    return *code;
  }
  throw Error(messages::NoFreeCode(label.kind, Utf8FromSystem(label.name), Utf8FromSystem(label.id),
                                   used.field_width(), Utf8FromSystem(base)));
}

// Drops the table's files and creates it empty with its layout.
void RecreateTable(const tables::TableStore& store, const char* table_name,
                   const tables::Layout& layout) {
  store.DropTableFiles(table_name);
  store.MakeEmptyTable(table_name, layout);
}

// What the four catalogue builds share: the table made afresh and open, then
// `add_row(record, used, table)` for each record, in document order, with the
// codes of `code_field` handed out so far; then the rows counted.
template <typename Record, typename AddRow>
void BuildCatalogue(const std::vector<Record>& records, const tables::TableStore& store,
                    const char* table_name, const tables::Layout& layout, const char* code_field,
                    BuildNotes& notes, AddRow add_row) {
  RecreateTable(store, table_name, layout);
  UsedCodes used(FieldWidth(layout, code_field));
  Table table(store, table_name);
  table.OpenTable(HoldKind::kShared);
  notes.Expect(records.size());
  for (const Record& record : records) add_row(record, used, table);
  table.CloseTable();
  notes.CountRows(static_cast<std::int64_t>(records.size()));
}

// Teachers and rooms differ only in their table, records and the word for them.
void BuildInitialsTable(const exchange::SchoolRecords& school,
                        const std::vector<exchange::NamedRecord>& records,
                        const tables::TableStore& store, const char* table_name,
                        const tables::Layout& layout, const char* kind, BuildNotes& notes) {
  BuildCatalogue(
      records, store, table_name, layout, field::kAbrev, notes,
      [&](const exchange::NamedRecord& record, UsedCodes& used, Table& table) {
        const std::string idgedu = notes.ReadId(school.View(record.id), field::kIdGedu);
        const std::string nombre = notes.Read(school.View(record.name), field::kNombre, idgedu);
        notes.CheckIdentity(idgedu, nombre, field::kNombre);
        notes.CheckFits(field::kNombre, nombre, idgedu);
        notes.CheckFits(field::kIdGedu, idgedu, idgedu);
        const std::string abrev = UniqueCodeFor(FirstChars(InitialsOf(nombre), 2), used,
                                                {kind, idgedu, nombre}, notes, field::kAbrev);
        table.StartNewRow();
        table.PutText(field::kAbrev, abrev);
        table.PutText(field::kNombre, nombre);
        table.PutText(field::kIdGedu, idgedu);
        table.SaveNewRow();
      });
}

// The first row for each IDGEDU of a binding, read in one scan, so that a
// lookup by key gives what a scan from the first row would find.
template <typename Row, typename ReadRow>
std::unordered_map<std::string, Row> IndexByIdgedu(TableBinding& binding, ReadRow read_row) {
  std::unordered_map<std::string, Row> index;
  for (binding.ToFirstRow(); !binding.PastLastRow(); binding.ToNextRow()) {
    index.try_emplace(binding.TextOf(field::kIdGedu), read_row(binding));
  }
  return index;
}

struct GroupRow {
  std::string abrev, turno, nivel, curso, grupo;
};

struct SubjectRow {
  std::string cod, horas;
};

// The assignments' ids as 8-bit text, each converted and looked up once: a
// large school names each of them many times. Indexed as SchoolRecords::ids.
struct AssignmentIds {
  std::vector<std::string> ids;
  std::vector<const SubjectRow*> subject_of;   // null when not in ASIGNOMT
  std::vector<const std::string*> teacher_of;  // PROFT's code; null when not there
};

AssignmentIds LookUpAssignmentIds(
    const exchange::SchoolRecords& school,
    const std::unordered_map<std::string, SubjectRow>& subject_rows,
    const std::unordered_map<std::string, std::string>& teacher_codes) {
  AssignmentIds lookups;
  lookups.ids.reserve(school.ids.size());
  lookups.subject_of.reserve(school.ids.size());
  lookups.teacher_of.reserve(school.ids.size());
  for (const exchange::TextRef utf8 : school.ids) {
    const std::string& id = lookups.ids.emplace_back(SystemFromUtf8(school.View(utf8)));
    const auto subject = subject_rows.find(id);
    lookups.subject_of.push_back(subject != subject_rows.end() ? &subject->second : nullptr);
    const auto teacher = teacher_codes.find(id);
    lookups.teacher_of.push_back(teacher != teacher_codes.end() ? &teacher->second : nullptr);
  }
  return lookups;
}

// The codes of a group as GRUPOST holds them; empty codes, and a note when
// findings are kept, when the group is not there.
GroupRow GroupRowFor(const std::unordered_map<std::string, GroupRow>& group_rows,
                     const std::string& group_id, BuildNotes& notes, bool noting) {
  if (auto found = group_rows.find(group_id); found != group_rows.end()) return found->second;
  if (noting) {
    notes.Add("unknown-group", field::kCGrup, group_id,
              messages::UnknownGroup(Utf8FromSystem(group_id)), "group");
  }
  return GroupRow();
}

// The teacher code of an assigned subject: the last assigned teacher decides,
// also when it is not found; none when the subject has no assigned teachers.
// Either case is noted when findings are kept.
std::string TeacherCodeFor(const exchange::AssignedSubject& assigned, const AssignmentIds& lookups,
                           const std::string& group_id, BuildNotes& notes, bool noting) {
  const std::string& subject_id = lookups.ids[assigned.subject];
  std::string teacher_code;
  std::string teacher_id;
  if (assigned.teacher_count > 0) {
    teacher_id = lookups.ids[assigned.last_teacher];
    if (const std::string* found = lookups.teacher_of[assigned.last_teacher]) {
      teacher_code = *found;
    }
  }
  if (noting && assigned.teacher_count == 0) {
    notes.Add("no-teacher", field::kCProf, subject_id,
              messages::NoTeacher(Utf8FromSystem(subject_id), Utf8FromSystem(group_id)));
  } else if (noting && teacher_code.empty()) {
    notes.Add("unknown-teacher", field::kCProf, teacher_id,
              messages::UnknownTeacher(Utf8FromSystem(teacher_id), Utf8FromSystem(subject_id),
                                       Utf8FromSystem(group_id)),
              "assigned-teacher");
  }
  return teacher_code;
}

// The hours and SESIONES of one subject, which are the same at every row of
// it: worked out at its first row.
struct Sessions {
  bool known = false;
  double hours = 0;
  std::string text;
};

// Writes one row of ASIGT. Every value starts empty for each assigned subject,
// the teacher code included: a subject without assigned teachers gets none,
// not the teacher of the subject before it.
void PutAssignmentRow(Table& asigt, const SubjectRow& subject_row, const std::string& teacher_code,
                      const GroupRow& group_row, Sessions& sessions) {
  asigt.StartNewRow();
  asigt.PutText(field::kCAsig, subject_row.cod);
  asigt.PutText(field::kCProf, teacher_code);
  asigt.PutText(field::kCGrup, group_row.abrev);
  asigt.PutText(field::kCAula, "");
  asigt.PutText(field::kTurno, group_row.turno);
  asigt.PutText(field::kNivel, group_row.nivel);
  asigt.PutText(field::kCurso, group_row.curso);
  asigt.PutText(field::kGrupo, group_row.grupo);
  // The sessions follow the hours as the field holds them.
  if (!sessions.known) {
    sessions.hours = ReadHours(subject_row.horas).value_or(1.0);
    if (!subject_row.horas.empty()) asigt.PutFloat(field::kHoras, sessions.hours);
    sessions.text = SesionesText(asigt.FloatOf(field::kHoras));
    sessions.known = true;
  } else if (!subject_row.horas.empty()) {
    asigt.PutFloat(field::kHoras, sessions.hours);
  }
  asigt.PutText(field::kSesiones, sessions.text);
  asigt.SaveNewRow();
}

}  // namespace

void BuildSubjectTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                       Findings* findings) {
  const tables::Layout& layout = tables::AsignomtLayout();
  BuildNotes notes(findings, tables::kAsignomt, "subject", layout);
  BuildCatalogue(
      school.subjects, store, tables::kAsignomt, layout, field::kCodLargo, notes,
      [&](const exchange::SubjectRecord& record, UsedCodes& used, Table& table) {
        const std::string idgedu = notes.ReadId(school.View(record.id), field::kIdGedu);
        const std::string cod = LastChars(idgedu, 4);
        const std::string nombre = notes.Read(school.View(record.name), field::kNombre, idgedu);
        // The hours are looked for only when there are more than the two
        // attributes every subject carries; an absent value counts as empty.
        std::string horas;
        if (record.reads_hours)
          horas = notes.Read(school.View(record.hours), field::kHoras, idgedu);
        notes.CheckIdentity(idgedu, nombre, field::kNombre);
        notes.CheckFits(field::kNombre, nombre, idgedu);
        notes.CheckFits(field::kIdGedu, idgedu, idgedu);
        const std::string codlargo = UniqueCodeFor(
            nombre.substr(0, 5), used, {"la asignatura", idgedu, nombre}, notes, field::kCodLargo);
        table.StartNewRow();
        table.PutText(field::kCod, cod);
        table.PutText(field::kCodLargo, codlargo);
        table.PutText(field::kNombre, nombre);
        table.PutText(field::kIdGedu, idgedu);
        if (horas.empty()) horas = "4";
        notes.CheckFits(field::kHoras, horas, idgedu);
        // The assignments read the hours back as stored; what is not a number
        // counts as 1 hour there.
        if (findings != nullptr && !IsWholeNumber(horas) &&
            !ReadHours(FirstChars(horas, FieldWidth(layout, field::kHoras)))) {
          notes.Add("hours-not-number", field::kHoras, idgedu,
                    messages::HoursNotANumber(Utf8FromSystem(horas)));
        }
        table.PutText(field::kHoras, horas);
        table.SaveNewRow();
      });
}

void BuildTeacherTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                       Findings* findings) {
  BuildNotes notes(findings, tables::kProft, "teacher", tables::ProftLayout());
  BuildInitialsTable(school, school.teachers, store, tables::kProft, tables::ProftLayout(),
                     "el profesor", notes);
}

void BuildRoomTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                    Findings* findings) {
  BuildNotes notes(findings, tables::kAulat, "location", tables::AulatLayout());
  BuildInitialsTable(school, school.locations, store, tables::kAulat, tables::AulatLayout(),
                     "el aula", notes);
}

void BuildGroupTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                     Findings* findings) {
  const tables::Layout& layout = tables::GrupostLayout();
  BuildNotes notes(findings, tables::kGrupost, "group", layout);
  BuildCatalogue(
      school.groups, store, tables::kGrupost, layout, field::kAbrev, notes,
      [&](const exchange::GroupRecord& record, UsedCodes& used, Table& table) {
        const std::string idgedu = notes.ReadId(school.View(record.id), field::kIdGedu);
        const std::string name = notes.Read(school.View(record.name), field::kNivel, idgedu);
        const GroupNameParts parts = CutGroupName(name);
        notes.CheckIdentity(idgedu, name, field::kNivel);
        notes.CheckFits(field::kIdGedu, idgedu, idgedu);
        notes.CheckFits(field::kNivel, parts.nivel, idgedu);
        const std::string abrev = UniqueCodeFor(FirstChars(InitialsOf(name), 3), used,
                                                {"el grupo", idgedu, name}, notes, field::kAbrev);
        table.StartNewRow();
        table.PutText(field::kAbrev, abrev);
        table.PutText(field::kTurno, "");
        table.PutText(field::kNivel, parts.nivel);
        table.PutText(field::kCurso, parts.curso);
        table.PutText(field::kGrupo, parts.grupo);
        table.PutText(field::kIdGedu, idgedu);
        table.SaveNewRow();
      });
}

void BuildAssignmentTable(const exchange::SchoolRecords& school, const tables::TableStore& store,
                          Findings* findings) {
  BuildNotes notes(findings, tables::kAsigt, "assigned-subject", tables::AsigtLayout());
  std::int64_t rows = 0;
  RecreateTable(store, tables::kAsigt, tables::AsigtLayout());
  Table asigt(store, tables::kAsigt);
  asigt.OpenTable(HoldKind::kShared);

  TableBinding grupos(store, Binding::kGrupos);
  TableBinding profesor(store, Binding::kProfesor);
  TableBinding aulas(store, Binding::kAulas);
  TableBinding nom_asg(store, Binding::kNomAsg);
  grupos.OpenTable();
  profesor.OpenTable();
  aulas.OpenTable();  // held for the length of the build, though nothing is read from it
  nom_asg.OpenTable();

  const auto group_rows = IndexByIdgedu<GroupRow>(grupos, [](const TableBinding& t) {
    return GroupRow{t.TextOf(field::kAbrev), t.TextOf(field::kTurno), t.TextOf(field::kNivel),
                    t.TextOf(field::kCurso), t.TextOf(field::kGrupo)};
  });
  const auto teacher_codes = IndexByIdgedu<std::string>(
      profesor, [](const TableBinding& t) { return t.TextOf(field::kAbrev); });
  const auto subject_rows = IndexByIdgedu<SubjectRow>(nom_asg, [](const TableBinding& t) {
    return SubjectRow{t.TextOf(field::kCod), t.TextOf(field::kHoras)};
  });

  const AssignmentIds lookups = LookUpAssignmentIds(school, subject_rows, teacher_codes);
  std::vector<Sessions> sessions_of(school.ids.size());
  const bool noting = findings != nullptr;
  static const SubjectRow kNoSubject;
  for (const exchange::GroupRecord& group : school.groups) {
    const std::string group_id = SystemFromUtf8(school.View(group.id));
    const GroupRow group_row = GroupRowFor(group_rows, group_id, notes, noting);
    for (std::size_t a = 0; a < group.assignment_count; ++a) {
      const exchange::AssignedSubject& assigned = school.assignments[group.first_assignment + a];
      const SubjectRow* subject_row = lookups.subject_of[assigned.subject];
      if (subject_row == nullptr && noting) {
        const std::string& subject_id = lookups.ids[assigned.subject];
        notes.Add("unknown-subject", field::kCAsig, subject_id,
                  messages::UnknownSubject(Utf8FromSystem(subject_id), Utf8FromSystem(group_id)));
      }
      const std::string teacher_code = TeacherCodeFor(assigned, lookups, group_id, notes, noting);
      PutAssignmentRow(asigt, subject_row != nullptr ? *subject_row : kNoSubject, teacher_code,
                       group_row, sessions_of[assigned.subject]);
      ++rows;
    }
  }

  asigt.CloseTable();
  notes.CountRows(rows);
  grupos.CloseTable();
  profesor.CloseTable();
  aulas.CloseTable();
  nom_asg.CloseTable();
}

void CheckTablesNotHeld(const tables::TableStore& store) {
  for (const std::string& table : tables::BuiltTables()) store.CheckNotHeld(table);
}

void CreateDayHourTable(const tables::TableStore& store, Findings* findings) {
  RecreateTable(store, tables::kDiashorast, tables::DiashorastLayout());
  if (findings != nullptr) findings->CountRows(tables::kDiashorast, 0);
}

}  // namespace pontexa::to_horaplan
