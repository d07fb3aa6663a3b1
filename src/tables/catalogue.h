#pragma once

#include "tables/field_layout.h"
#include "tables/table_store.h"

namespace pontexa::tables {

// The tables the system writes and reads, and their layouts in field order.
inline constexpr char kAsignomt[] = "ASIGNOMT";
inline constexpr char kProft[] = "PROFT";
inline constexpr char kAulat[] = "AULAT";
inline constexpr char kGrupost[] = "GRUPOST";
inline constexpr char kAsigt[] = "ASIGT";
inline constexpr char kDiashorast[] = "DIASHORAST";
inline constexpr char kSoluc[] = "SOLUC";

// The field names that the conversions read back.
namespace field {
inline constexpr char kIdGedu[] = "IDGEDU";
inline constexpr char kCod[] = "COD";
inline constexpr char kAbrev[] = "ABREV";
inline constexpr char kNombre[] = "NOMBRE";
inline constexpr char kDia[] = "DIA";
inline constexpr char kTextoDia[] = "TEXTODIA";
inline constexpr char kHora[] = "HORA";
inline constexpr char kHoraDesde[] = "HORADESDE";
inline constexpr char kHoraHasta[] = "HORAHASTA";
inline constexpr char kSesiones[] = "SESIONES";
inline constexpr char kAsig[] = "ASIG";
inline constexpr char kCodGrupo[] = "CODGRUPO";
inline constexpr char kProf[] = "PROF";
inline constexpr char kAula[] = "AULA";
}  // namespace field

const Layout& AsignomtLayout();
const Layout& ProftLayout();
const Layout& AulatLayout();
const Layout& GrupostLayout();
const Layout& AsigtLayout();
const Layout& DiashorastLayout();

// The six table bindings through which tables are read back: each names its
// table, is opened exclusively and prefixes its field-not-found messages with
// its own name.
enum class Binding { kNomAsg, kAulas, kGrupos, kDiasHoras, kProfesor, kSoluc };

const char* BindingName(Binding binding);   // "wwTableNomAsg", ...
const char* BindingTable(Binding binding);  // "ASIGNOMT", ...

class TableBinding : public Table {
 public:
  TableBinding(const TableStore& store, Binding binding)
      : Table(store, BindingTable(binding), BindingName(binding)) {}
  // Bindings are always opened exclusively.
  void OpenTable() { Table::OpenTable(OpenMode::kExclusive); }
};

}  // namespace pontexa::tables
