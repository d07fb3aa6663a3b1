#include "tables/catalogue.h"

namespace pontexa::tables {
namespace {

FieldLayout Text(const char* name, int width) { return {name, FieldType::kText, width}; }
FieldLayout Integer(const char* name) { return {name, FieldType::kInteger, 0}; }
FieldLayout Float(const char* name) { return {name, FieldType::kFloat, 0}; }

}  // namespace

const std::vector<std::string>& BuiltTables() {
  static const std::vector<std::string> tables = {kAsignomt, kProft, kAulat,
                                                  kGrupost,  kAsigt, kDiashorast};
  return tables;
}

const Layout& AsignomtLayout() {
  static const Layout layout = {Text(field::kCod, 4), Text(field::kCodLargo, 8),
                                Text(field::kNombre, 40), Text(field::kIdGedu, 60),
                                Text(field::kHoras, 8)};
  return layout;
}

const Layout& ProftLayout() {
  static const Layout layout = {Text(field::kAbrev, 4), Text(field::kNombre, 40),
                                Text(field::kDepart, 40), Integer(field::kDni),
                                Text(field::kIdGedu, 60)};
  return layout;
}

const Layout& AulatLayout() {
  static const Layout layout = {Text(field::kAbrev, 4), Text(field::kNombre, 40),
                                Text(field::kEdificio, 1), Integer(field::kMaxAlum),
                                Text(field::kIdGedu, 60)};
  return layout;
}

const Layout& GrupostLayout() {
  static const Layout layout = {Text(field::kAbrev, 4), Text(field::kTurno, 1),
                                Text(field::kNivel, 5), Text(field::kCurso, 3),
                                Text(field::kGrupo, 2), Text(field::kIdGedu, 60)};
  return layout;
}

const Layout& AsigtLayout() {
  static const Layout layout = {Text(field::kCAsig, 4), Text(field::kCProf, 4),
                                Text(field::kCGrup, 4), Text(field::kCAula, 4),
                                Text(field::kTurno, 1), Text(field::kNivel, 5),
                                Text(field::kCurso, 3), Text(field::kGrupo, 2),
                                Float(field::kHoras),   Text(field::kSesiones, 20)};
  return layout;
}

const Layout& DiashorastLayout() {
  static const Layout layout = {Text(field::kDiho, 10),     Text(field::kCodDiho, 10),
                                Text(field::kDia, 20),      Text(field::kTextoDia, 20),
                                Text(field::kHora, 8),      Text(field::kHoraDesde, 8),
                                Text(field::kHoraHasta, 8), Text(field::kMinutos, 8)};
  return layout;
}

const char* BindingName(Binding binding) {
  switch (binding) {
    case Binding::kNomAsg:
      return "wwTableNomAsg";
    case Binding::kAulas:
      return "wwTableAulas";
    case Binding::kGrupos:
      return "wwTableGrupos";
    case Binding::kDiasHoras:
      return "wwTableDiasHoras";
    case Binding::kProfesor:
      return "wwTableProfesor";
    case Binding::kSoluc:
      return "wwTableSoluc";
  }
  return "";
}

const char* BindingTable(Binding binding) {
  switch (binding) {
    case Binding::kNomAsg:
      return kAsignomt;
    case Binding::kAulas:
      return kAulat;
    case Binding::kGrupos:
      return kGrupost;
    case Binding::kDiasHoras:
      return kDiashorast;
    case Binding::kProfesor:
      return kProft;
    case Binding::kSoluc:
      return kSoluc;
  }
  return "";
}

}  // namespace pontexa::tables
