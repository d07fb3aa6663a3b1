#include "to_gedu/input_list.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "exchange/vocabulary.h"
#include "platform/numbers.h"
#include "tables/catalogue.h"

namespace pontexa::to_gedu {

namespace vocabulary = exchange::vocabulary;
namespace field = tables::field;

namespace {

// A list element under `input` holding one item, with an id only when the
// identifier is not empty.
void WriteParticipant(exchange::SectionWriter& out, const char* list, const char* item,
                      const std::string& identifier) {
  out.StartElement(list);
  out.StartElement(item);
  if (!identifier.empty()) out.SetAttribute(vocabulary::kId, identifier);
  out.EndElement();
  out.EndElement();
}

// The identifiers of one SOLUC code column's codes in a catalogue, looked up
// once per distinct code: the column numbers its texts, so a row costs one
// read instead of a hash of its code.
class IdentifiersByNumber {
 public:
  IdentifiersByNumber(const tables::TextColumn* column, TableColumns& catalogue,
                      const char* code_field)
      : column_(column), catalogue_(catalogue), code_field_(code_field) {
    if (column_ != nullptr) rows_.assign(column_->DistinctCount(), kUnknown);
  }

  // IdentifierForCode of the row's code; only for a column read whole.
  const std::string& Of(std::size_t row) {
    const std::uint32_t number = column_->NumberAt(row);
    const std::string& code = (*column_)[row];
    std::int64_t& found = rows_[number];
    if (found == kUnknown) {
      const std::optional<std::size_t> first = catalogue_.FirstRow(code_field_, code);
      found = first ? static_cast<std::int64_t>(*first) : kNone;
    }
    if (found == kNone) return code;
    return catalogue_.Texts(field::kIdGedu)[static_cast<std::size_t>(found)];
  }

 private:
  static constexpr std::int64_t kUnknown = -2;  // not looked up yet
  static constexpr std::int64_t kNone = -1;     // no catalogue row has it
  const tables::TextColumn* column_;
  TableColumns& catalogue_;
  const char* code_field_;
  std::vector<std::int64_t> rows_;  // the catalogue row, by the column's number
};

}  // namespace

std::size_t LessonSlots::SlotHash::operator()(const Slot& slot) const {
  std::uint64_t bits;
  std::memcpy(&bits, &slot.second, sizeof bits);
  return static_cast<std::size_t>((bits ^ static_cast<std::uint32_t>(slot.first)) *
                                  0x9E3779B97F4A7C15ull);
}

void LessonSlots::AddPlaced(std::int32_t day, double interval) {
  if (!std::isfinite(interval)) interval = -1;  // no week has it, and it hashes as itself
  if (interval == 0) interval = 0;              // -0 and 0 are one slot
  const auto [at, fresh] =
      numbers_.try_emplace({day, interval}, static_cast<std::uint32_t>(slots_.size()));
  if (fresh) slots_.emplace_back(day, interval);
  slot_of_row_.push_back(at->second);
}

std::string IdentifierForCode(TableColumns& catalogue, std::string_view code_field,
                              const std::string& code) {
  const std::optional<std::size_t> row = catalogue.FirstRow(code_field, code);
  if (!row) return code;
  return catalogue.Texts(field::kIdGedu)[*row];
}

void WriteInputList(exchange::SectionWriter& out, const ActivityIndex& index,
                    const InputTables& tables, char decimal_separator,
                    LessonSlots* slots) {
  out.StartElement(vocabulary::kInputs);
  tables.soluc.Open();
  tables.profesor.Open();
  tables.aulas.Open();
  tables.nom_asg.Open();
  tables.grupos.Open();

  // SOLUC is walked once, row by row, reading its fields in the order the
  // attributes are written, so that the first field that fails is the one the
  // user is told about.
  tables::Table& soluc = tables.soluc.table();
  // The codes the used lists have read as whole columns are taken from there:
  // the same texts, without reading the row again.
  const tables::TextColumn* asig = tables.soluc.ReadColumn(field::kAsig);
  const tables::TextColumn* cod_grupo = tables.soluc.ReadColumn(field::kCodGrupo);
  const tables::TextColumn* prof = tables.soluc.ReadColumn(field::kProf);
  IdentifiersByNumber subjects(asig, tables.nom_asg, field::kCod);
  IdentifiersByNumber groups(cod_grupo, tables.grupos, field::kAbrev);
  IdentifiersByNumber teachers(prof, tables.profesor, field::kAbrev);
  // The identifier of the row's code in `catalogue`, from the whole column
  // when it was read, else from the row.
  const auto identifier = [&soluc](IdentifiersByNumber& by_number,
                                   const tables::TextColumn* column, std::size_t row,
                                   TableColumns& catalogue, const char* code_field,
                                   const char* name) -> std::string {
    if (column != nullptr) return by_number.Of(row);
    return IdentifierForCode(catalogue, code_field, soluc.TextOf(name));
  };
  if (slots != nullptr) slots->reserve(static_cast<std::size_t>(soluc.RowCount()));
  int n = 1;
  std::size_t row = 0;
  std::string last_subject_id;
  int activity_position = -1;
  bool activity_known = false;
  for (soluc.ToFirstRow(); !soluc.PastLastRow(); soluc.ToNextRow(), ++row) {
    const std::int32_t day = soluc.IntegerOf(field::kDia);
    if (day == 0) {  // not placed in the week
      if (slots != nullptr) slots->AddNotPlaced();
      continue;
    }

    out.StartElement(vocabulary::kInput);
    out.SetAttribute(vocabulary::kId, vocabulary::kInputPrefix + std::to_string(n));
    ++n;
    out.SetAttribute(vocabulary::kDay, soluc.TextOf(field::kDia));

    // A lesson of half a session is counted in half-hour intervals: 2 x HORA - 1.
    const double hour = soluc.FloatOf(field::kHora);
    const double interval = soluc.FloatOf(field::kSesiones) == 0.5 ? 2 * hour - 1 : hour;
    if (slots != nullptr) slots->AddPlaced(day, interval);
    out.SetAttribute(vocabulary::kInterval,
                     vocabulary::kIntervalPrefix + FormatGeneral(interval, decimal_separator));

    const std::string subject_id =
        identifier(subjects, asig, row, tables.nom_asg, field::kCod, field::kAsig);
    // Lessons of one subject often follow each other: look it up once for them.
    if (!activity_known || subject_id != last_subject_id) {
      activity_position = index.IndexOfSubject(subject_id);
      last_subject_id = subject_id;
      activity_known = true;
    }
    out.SetAttribute(vocabulary::kActivity, index.ActivityAt(activity_position));

    WriteParticipant(
        out, vocabulary::kGroups, vocabulary::kGroup,
        identifier(groups, cod_grupo, row, tables.grupos, field::kAbrev, field::kCodGrupo));
    WriteParticipant(
        out, vocabulary::kMembers, vocabulary::kMember,
        identifier(teachers, prof, row, tables.profesor, field::kAbrev, field::kProf));
    WriteParticipant(out, vocabulary::kLocations, vocabulary::kLocation,
                     IdentifierForCode(tables.aulas, field::kAbrev, soluc.TextOf(field::kAula)));
    out.EndElement();
  }
  out.EndElement();
}

}  // namespace pontexa::to_gedu
