#include "to_gedu/input_list.h"

#include <string>

#include "exchange/vocabulary.h"
#include "tables/catalogue.h"
#include "platform/numbers.h"

namespace pontexa::to_gedu {

namespace vocabulary = exchange::vocabulary;
namespace field = tables::field;

namespace {

// A list element under `input` holding one item, with an id only when the
// identifier is not empty.
void WriteParticipant(exchange::Document& document, exchange::Element input, const char* list,
                      const char* item, const std::string& identifier) {
  exchange::Element list_element = input.AppendChild(document.CreateElement(list));
  exchange::Element element = document.CreateElement(item);
  if (!identifier.empty()) element.SetAttribute(vocabulary::kId, identifier);
  list_element.AppendChild(element);
}

}  // namespace

std::string IdentifierForCode(TableColumns& catalogue, std::string_view code_field,
                              const std::string& code) {
  const std::optional<std::size_t> row = catalogue.FirstRow(code_field, code);
  if (!row) return code;
  return catalogue.Texts(field::kIdGedu)[*row];
}

void WriteInputList(exchange::Document& document, exchange::Element time_table,
                    const ActivityIndex& index, const InputTables& tables, char decimal_separator,
                    std::vector<LessonSlot>* slots) {
  exchange::Element inputs = time_table.AppendChild(document.CreateElement(vocabulary::kInputs));
  tables.soluc.Open();
  tables.profesor.Open();
  tables.aulas.Open();
  tables.nom_asg.Open();
  tables.grupos.Open();

  // SOLUC is walked once, row by row, reading its fields in the order the
  // attributes are written, so that the first field that fails is the one the
  // user is told about.
  tables::Table& soluc = tables.soluc.table();
  int n = 1;
  for (soluc.ToFirstRow(); !soluc.PastLastRow(); soluc.ToNextRow()) {
    const std::int32_t day = soluc.IntegerOf(field::kDia);
    if (slots != nullptr) slots->push_back({day, 0});
    if (day == 0) continue;  // not placed in the week

    exchange::Element input = document.CreateElement(vocabulary::kInput);
    input.SetAttribute(vocabulary::kId, vocabulary::kInputPrefix + std::to_string(n));
    ++n;
    input.SetAttribute(vocabulary::kDay, soluc.TextOf(field::kDia));

    // A lesson of half a session is counted in half-hour intervals: 2 x HORA - 1.
    const double hour = soluc.FloatOf(field::kHora);
    const double interval = soluc.FloatOf(field::kSesiones) == 0.5 ? 2 * hour - 1 : hour;
    if (slots != nullptr) slots->back().interval = interval;
    input.SetAttribute(vocabulary::kInterval,
                       vocabulary::kIntervalPrefix + FormatGeneral(interval, decimal_separator));

    const std::string subject_id = IdentifierForCode(tables.nom_asg, field::kCod, soluc.TextOf(field::kAsig));
    input.SetAttribute(vocabulary::kActivity, index.ActivityAt(index.IndexOfSubject(subject_id)));
    inputs.AppendChild(input);

    WriteParticipant(document, input, vocabulary::kGroups, vocabulary::kGroup,
                     IdentifierForCode(tables.grupos, field::kAbrev, soluc.TextOf(field::kCodGrupo)));
    WriteParticipant(document, input, vocabulary::kMembers, vocabulary::kMember,
                     IdentifierForCode(tables.profesor, field::kAbrev, soluc.TextOf(field::kProf)));
    WriteParticipant(document, input, vocabulary::kLocations, vocabulary::kLocation,
                     IdentifierForCode(tables.aulas, field::kAbrev, soluc.TextOf(field::kAula)));
  }
}

}  // namespace pontexa::to_gedu
