#include "to_horaplan/table_builds.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "exchange/vocabulary.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "tables/catalogue.h"
#include "to_horaplan/group_name.h"
#include "to_horaplan/hours.h"
#include "to_horaplan/short_codes.h"

namespace pontexa::to_horaplan {

namespace vocab = exchange::vocabulary;
using exchange::Element;
using exchange::NodeList;
using tables::Binding;
using tables::OpenMode;
using tables::Table;
using tables::TableBinding;

namespace {

// An element that lacks an attribute or child that a build reads is read as
// having the empty text there.
std::string AttributeText(const Element& element, std::string_view name) {
  if (element.IsNull()) return "";
  return element.Attributes().NamedItem(name).Value();
}

std::size_t AttributeCount(const Element& element) {
  return element.IsNull() ? 0 : element.Attributes().Length();
}

std::string FirstChildText(const Element& element) {
  if (element.IsNull()) return "";
  return element.FirstChild().Value();
}

std::size_t FieldWidth(const tables::Layout& layout, std::string_view field) {
  for (const tables::FieldSpec& spec : layout) {
    if (spec.name == field) return static_cast<std::size_t>(spec.width);
  }
  throw Error("El campo '" + std::string(field) + "' no figura en la estructura de la tabla");
}

// What the error names when an element cannot get a code.
struct ElementLabel {
  const char* kind;  // "la asignatura", "el profesor", ...
  std::string id;    // 8-bit text
  std::string name;  // 8-bit text
};

std::string UniqueCodeFor(std::string_view base, UsedCodes& used, const ElementLabel& label) {
  if (std::optional<std::string> code = MakeUniqueCode(base, used)) return *code;
  throw Error("No queda ningún código libre para " + std::string(label.kind) + " '" +
              Utf8FromSystem(label.name) + "' (id '" + Utf8FromSystem(label.id) +
              "'): todos los códigos de " + std::to_string(used.field_width()) +
              " caracteres que empiezan por '" + Utf8FromSystem(base) + "' están ya en uso");
}

// Drops the table's files and creates it empty with its layout.
void RecreateTable(const tables::TableStore& store, const char* table_name,
                   const tables::Layout& layout) {
  store.DropTableFiles(table_name);
  store.MakeEmptyTable(table_name, layout);
}

// Teachers and rooms differ only in their table, path and the word for them.
void BuildInitialsTable(const exchange::Document& document, const tables::TableStore& store,
                        const char* table_name, const tables::Layout& layout, const char* path,
                        const char* kind) {
  RecreateTable(store, table_name, layout);
  UsedCodes used(FieldWidth(layout, "ABREV"));
  Table table(store, table_name);
  table.OpenTable(OpenMode::kShared);
  const NodeList nodes = document.SelectNodes(path);
  for (std::size_t i = 0; i < nodes.Length(); ++i) {
    const Element element = nodes.Item(static_cast<std::ptrdiff_t>(i)).AsElement();
    const std::string idgedu = AttributeText(element, vocab::kId);
    const std::string nombre = FirstChildText(element);
    const std::string abrev =
        UniqueCodeFor(FirstChars(InitialsOf(nombre), 2), used, {kind, idgedu, nombre});
    table.StartNewRow();
    table.PutText("ABREV", abrev);
    table.PutText("NOMBRE", nombre);
    table.PutText("IDGEDU", idgedu);
    table.SaveNewRow();
  }
  table.CloseTable();
}

// The first row for each IDGEDU of a binding, read in one scan, so that a
// lookup by key gives what a scan from the first row would find.
template <typename Row, typename ReadRow>
std::unordered_map<std::string, Row> IndexByIdgedu(TableBinding& binding, ReadRow read_row) {
  std::unordered_map<std::string, Row> index;
  for (binding.ToFirstRow(); !binding.PastLastRow(); binding.ToNextRow()) {
    index.try_emplace(binding.TextOf("IDGEDU"), read_row(binding));
  }
  return index;
}

struct GroupRow {
  std::string abrev, turno, nivel, curso, grupo;
};

struct SubjectRow {
  std::string cod, horas;
};

}  // namespace

void BuildSubjectTable(const exchange::Document& document, const tables::TableStore& store) {
  const tables::Layout& layout = tables::AsignomtLayout();
  RecreateTable(store, tables::kAsignomt, layout);
  UsedCodes used(FieldWidth(layout, "CODLARGO"));
  Table table(store, tables::kAsignomt);
  table.OpenTable(OpenMode::kShared);
  const NodeList nodes = document.SelectNodes(vocab::kSubjectPath);
  for (std::size_t i = 0; i < nodes.Length(); ++i) {
    const Element element = nodes.Item(static_cast<std::ptrdiff_t>(i)).AsElement();
    const std::string idgedu = AttributeText(element, vocab::kId);
    const std::string cod = LastChars(idgedu, 4);
    const std::string nombre = AttributeText(element, vocab::kName);
    // The hours are looked for only when there are more than the two
    // attributes every subject carries; an absent value counts as empty.
    std::string horas;
    if (AttributeCount(element) > 2) horas = AttributeText(element, vocab::kHours);
    const std::string codlargo =
        UniqueCodeFor(nombre.substr(0, 5), used, {"la asignatura", idgedu, nombre});
    table.StartNewRow();
    table.PutText("COD", cod);
    table.PutText("CODLARGO", codlargo);
    table.PutText("NOMBRE", nombre);
    table.PutText("IDGEDU", idgedu);
    if (horas.empty()) horas = "4";
    table.PutText("HORAS", horas);
    table.SaveNewRow();
  }
  table.CloseTable();
}

void BuildTeacherTable(const exchange::Document& document, const tables::TableStore& store) {
  BuildInitialsTable(document, store, tables::kProft, tables::ProftLayout(), vocab::kTeacherPath,
                     "el profesor");
}

void BuildRoomTable(const exchange::Document& document, const tables::TableStore& store) {
  BuildInitialsTable(document, store, tables::kAulat, tables::AulatLayout(), vocab::kLocationPath,
                     "el aula");
}

void BuildGroupTable(const exchange::Document& document, const tables::TableStore& store) {
  const tables::Layout& layout = tables::GrupostLayout();
  RecreateTable(store, tables::kGrupost, layout);
  UsedCodes used(FieldWidth(layout, "ABREV"));
  Table table(store, tables::kGrupost);
  table.OpenTable(OpenMode::kShared);
  const NodeList nodes = document.SelectNodes(vocab::kGroupPath);
  for (std::size_t i = 0; i < nodes.Length(); ++i) {
    const Element element = nodes.Item(static_cast<std::ptrdiff_t>(i)).AsElement();
    const std::string idgedu = AttributeText(element, vocab::kId);
    const std::string name = AttributeText(element, vocab::kName);
    const GroupNameParts parts = CutGroupName(name);
    const std::string abrev =
        UniqueCodeFor(FirstChars(InitialsOf(name), 3), used, {"el grupo", idgedu, name});
    table.StartNewRow();
    table.PutText("ABREV", abrev);
    table.PutText("TURNO", "");
    table.PutText("NIVEL", parts.nivel);
    table.PutText("CURSO", parts.curso);
    table.PutText("GRUPO", parts.grupo);
    table.PutText("IDGEDU", idgedu);
    table.SaveNewRow();
  }
  table.CloseTable();
}

void BuildAssignmentTable(const exchange::Document& document, const tables::TableStore& store) {
  RecreateTable(store, tables::kAsigt, tables::AsigtLayout());
  Table asigt(store, tables::kAsigt);
  asigt.OpenTable(OpenMode::kShared);

  TableBinding grupos(store, Binding::kGrupos);
  TableBinding profesor(store, Binding::kProfesor);
  TableBinding aulas(store, Binding::kAulas);
  TableBinding nom_asg(store, Binding::kNomAsg);
  grupos.OpenTable();
  profesor.OpenTable();
  aulas.OpenTable();  // held for the length of the build, though nothing is read from it
  nom_asg.OpenTable();

  const auto group_rows = IndexByIdgedu<GroupRow>(grupos, [](const TableBinding& t) {
    return GroupRow{t.TextOf("ABREV"), t.TextOf("TURNO"), t.TextOf("NIVEL"), t.TextOf("CURSO"),
                    t.TextOf("GRUPO")};
  });
  const auto teacher_codes =
      IndexByIdgedu<std::string>(profesor, [](const TableBinding& t) { return t.TextOf("ABREV"); });
  const auto subject_rows = IndexByIdgedu<SubjectRow>(nom_asg, [](const TableBinding& t) {
    return SubjectRow{t.TextOf("COD"), t.TextOf("HORAS")};
  });

  const NodeList groups = document.SelectNodes(vocab::kGroupPath);
  for (std::size_t g = 0; g < groups.Length(); ++g) {
    const Element group = groups.Item(static_cast<std::ptrdiff_t>(g)).AsElement();
    GroupRow group_row;  // empty codes when the group is not in GRUPOST
    if (auto found = group_rows.find(AttributeText(group, vocab::kId)); found != group_rows.end()) {
      group_row = found->second;
    }
    if (group.IsNull()) continue;
    const NodeList subjects = group.SelectNodes(vocab::kAssignedSubjectPath);
    for (std::size_t s = 0; s < subjects.Length(); ++s) {
      const Element subject = subjects.Item(static_cast<std::ptrdiff_t>(s)).AsElement();
      // Every value of the row starts empty for each assigned subject, the
      // teacher code included: a subject without assigned teachers gets none,
      // not the teacher of the subject before it.
      SubjectRow subject_row;
      if (auto found = subject_rows.find(AttributeText(subject, vocab::kId));
          found != subject_rows.end()) {
        subject_row = found->second;
      }
      std::string teacher_code;
      if (!subject.IsNull()) {
        const NodeList teachers = subject.SelectNodes(vocab::kAssignedTeacherPath);
        // The last assigned teacher decides, also when it is not found.
        for (std::size_t t = 0; t < teachers.Length(); ++t) {
          const Element teacher = teachers.Item(static_cast<std::ptrdiff_t>(t)).AsElement();
          teacher_code.clear();
          if (auto found = teacher_codes.find(AttributeText(teacher, vocab::kId));
              found != teacher_codes.end()) {
            teacher_code = found->second;
          }
        }
      }

      asigt.StartNewRow();
      asigt.PutText("CASIG", subject_row.cod);
      asigt.PutText("CPROF", teacher_code);
      asigt.PutText("CGRUP", group_row.abrev);
      asigt.PutText("CAULA", "");
      asigt.PutText("TURNO", group_row.turno);
      asigt.PutText("NIVEL", group_row.nivel);
      asigt.PutText("CURSO", group_row.curso);
      asigt.PutText("GRUPO", group_row.grupo);
      if (!subject_row.horas.empty()) {
        asigt.PutFloat("HORAS", ReadHours(subject_row.horas).value_or(1.0));
      }
      // The sessions follow the hours as the field holds them.
      asigt.PutText("SESIONES", SesionesText(asigt.FloatOf("HORAS")));
      asigt.SaveNewRow();
    }
  }

  asigt.CloseTable();
  grupos.CloseTable();
  profesor.CloseTable();
  aulas.CloseTable();
  nom_asg.CloseTable();
}

void CheckTablesNotHeld(const tables::TableStore& store) {
  for (const char* table : {tables::kAsignomt, tables::kProft, tables::kAulat, tables::kGrupost,
                            tables::kAsigt, tables::kDiashorast}) {
    store.CheckNotHeld(table);
  }
}

void CreateDayHourTable(const tables::TableStore& store) {
  RecreateTable(store, tables::kDiashorast, tables::DiashorastLayout());
}

}  // namespace pontexa::to_horaplan
