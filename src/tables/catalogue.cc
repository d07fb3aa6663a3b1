#include "tables/catalogue.h"

namespace pontexa::tables {
namespace {

FieldLayout Text(const char* name, int width) { return {name, FieldType::kText, width}; }
FieldLayout Integer(const char* name) { return {name, FieldType::kInteger, 0}; }
FieldLayout Float(const char* name) { return {name, FieldType::kFloat, 0}; }

}  // namespace

const Layout& AsignomtLayout() {
  static const Layout layout = {Text("COD", 4), Text("CODLARGO", 8), Text("NOMBRE", 40),
                                Text("IDGEDU", 60), Text("HORAS", 8)};
  return layout;
}

const Layout& ProftLayout() {
  static const Layout layout = {Text("ABREV", 4), Text("NOMBRE", 40), Text("DEPART", 40),
                                Integer("DNI"), Text("IDGEDU", 60)};
  return layout;
}

const Layout& AulatLayout() {
  static const Layout layout = {Text("ABREV", 4), Text("NOMBRE", 40), Text("EDIFICIO", 1),
                                Integer("MAXALUM"), Text("IDGEDU", 60)};
  return layout;
}

const Layout& GrupostLayout() {
  static const Layout layout = {Text("ABREV", 4), Text("TURNO", 1), Text("NIVEL", 5),
                                Text("CURSO", 3), Text("GRUPO", 2), Text("IDGEDU", 60)};
  return layout;
}

const Layout& AsigtLayout() {
  static const Layout layout = {
      Text("CASIG", 4), Text("CPROF", 4), Text("CGRUP", 4), Text("CAULA", 4), Text("TURNO", 1),
      Text("NIVEL", 5), Text("CURSO", 3), Text("GRUPO", 2), Float("HORAS"),   Text("SESIONES", 20)};
  return layout;
}

const Layout& DiashorastLayout() {
  static const Layout layout = {Text("DIHO", 10),     Text("CODDIHO", 10), Text("DIA", 20),
                                Text("TEXTODIA", 20), Text("HORA", 8),     Text("HORADESDE", 8),
                                Text("HORAHASTA", 8), Text("MINUTOS", 8)};
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
