#pragma once

#include <string>
#include <vector>

#include "tables/field_layout.h"
#include "tables/table.h"
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

// The six tables GEDU to Horaplan builds, each run all of them: ASIGNOMT, PROFT,
// AULAT, GRUPOST, ASIGT and DIASHORAST.
const std::vector<std::string>& BuiltTables();

// The field names of the tables: the layouts, the builds and the readers all
// use these. Names shared by several tables are listed once, where they first appear.
namespace field {
// ASIGNOMT (subjects)
inline constexpr char kCod[] = "COD";
inline constexpr char kCodLargo[] = "CODLARGO";
inline constexpr char kNombre[] = "NOMBRE";
inline constexpr char kIdGedu[] = "IDGEDU";
inline constexpr char kHoras[] = "HORAS";
// PROFT, AULAT and GRUPOST (teachers, rooms, groups)
inline constexpr char kAbrev[] = "ABREV";
inline constexpr char kDepart[] = "DEPART";
inline constexpr char kDni[] = "DNI";
inline constexpr char kEdificio[] = "EDIFICIO";
inline constexpr char kMaxAlum[] = "MAXALUM";
inline constexpr char kTurno[] = "TURNO";
inline constexpr char kNivel[] = "NIVEL";
inline constexpr char kCurso[] = "CURSO";
inline constexpr char kGrupo[] = "GRUPO";
// ASIGT (the lessons to place)
inline constexpr char kCAsig[] = "CASIG";
inline constexpr char kCProf[] = "CPROF";
inline constexpr char kCGrup[] = "CGRUP";
inline constexpr char kCAula[] = "CAULA";
inline constexpr char kSesiones[] = "SESIONES";
// DIASHORAST (the week, filled in by Horaplan)
inline constexpr char kDiho[] = "DIHO";
inline constexpr char kCodDiho[] = "CODDIHO";
inline constexpr char kDia[] = "DIA";
inline constexpr char kTextoDia[] = "TEXTODIA";
inline constexpr char kHora[] = "HORA";
inline constexpr char kHoraDesde[] = "HORADESDE";
inline constexpr char kHoraHasta[] = "HORAHASTA";
inline constexpr char kMinutos[] = "MINUTOS";
// SOLUC (Horaplan's timetable, read only)
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
  void OpenTable() { Table::OpenTable(HoldKind::kExclusive); }
};

}  // namespace pontexa::tables
