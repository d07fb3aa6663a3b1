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

}  // namespace

std::size_t LessonSlots::SlotHash::operator()(const Slot& slot) const {
  std::uint64_t bits;
  std::memcpy(&bits, &slot.second, sizeof bits);
  return static_cast<std::size_t>((bits ^ static_cast<std::uint32_t>(slot.first)) *
                                  0x9E3779B97F4A7C15ull);
}

LessonSlots::Slot LessonSlots::Normal(std::int32_t day, double interval) {
  if (!std::isfinite(interval)) interval = -1;  // no week has it, and it hashes as itself
  if (interval == 0) interval = 0;              // -0 and 0 are one slot
  return {day, interval};
}

void LessonSlots::AddPlaced(std::int32_t day, double interval) {
  const auto [at, fresh] =
      numbers_.try_emplace(Normal(day, interval), static_cast<std::uint32_t>(slots_.size()));
  if (fresh) {
    slots_.push_back(at->first);
    lessons_.push_back(0);
  }
  ++lessons_[at->second];
}

std::uint32_t LessonSlots::NumberOf(std::int32_t day, double interval) const {
  const auto found = numbers_.find(Normal(day, interval));
  return found == numbers_.end() ? kNone : found->second;
}

double IntervalOfRow(const tables::Table& soluc) {
  const double hour = soluc.FloatOf(field::kHora);
  return soluc.FloatOf(field::kSesiones) == 0.5 ? 2 * hour - 1 : hour;
}

std::string IdentifierForCode(TableColumns& catalogue, std::string_view code_field,
                              const std::string& code) {
  const std::optional<std::size_t> row = catalogue.FirstRow(code_field, code);
  if (!row) return code;
  return catalogue.Texts(field::kIdGedu)[*row];
}

void WriteInputList(exchange::SectionWriter& out, const ActivityIndex& index,
                    const InputTables& tables, char decimal_separator, LessonSlots* slots) {
  out.StartElement(vocabulary::kInputs);
  tables.soluc.Open();
  tables.profesor.Open();
  tables.aulas.Open();
  tables.nom_asg.Open();
  tables.grupos.Open();

  // SOLUC is walked once, row by row, reading its fields in the order the
  // attributes are written, so that the first field that fails is the one the
  // user is told about. Nothing is kept per row.
  tables::Table& soluc = tables.soluc.table();
  int n = 1;
  std::string last_subject_id;
  int activity_position = -1;
  bool activity_known = false;
  for (soluc.ToFirstRow(); !soluc.PastLastRow(); soluc.ToNextRow()) {
    const std::int32_t day = soluc.IntegerOf(field::kDia);
    if (day == 0) continue;  // not placed in the week

    out.StartElement(vocabulary::kInput);
    out.SetAttribute(vocabulary::kId, vocabulary::kInputPrefix + std::to_string(n));
    ++n;
    out.SetAttribute(vocabulary::kDay, soluc.TextOf(field::kDia));

    const double interval = IntervalOfRow(soluc);
    if (slots != nullptr) slots->AddPlaced(day, interval);
    out.SetAttribute(vocabulary::kInterval,
                     vocabulary::kIntervalPrefix + FormatGeneral(interval, decimal_separator));

    const std::string subject_id =
        IdentifierForCode(tables.nom_asg, field::kCod, soluc.TextOf(field::kAsig));
    // Lessons of one subject often follow each other: look it up once for them.
    if (!activity_known || subject_id != last_subject_id) {
      activity_position = index.IndexOfSubject(subject_id);
      last_subject_id = subject_id;
      activity_known = true;
    }
    out.SetAttribute(vocabulary::kActivity, index.ActivityAt(activity_position));

    WriteParticipant(
        out, vocabulary::kGroups, vocabulary::kGroup,
        IdentifierForCode(tables.grupos, field::kAbrev, soluc.TextOf(field::kCodGrupo)));
    WriteParticipant(out, vocabulary::kMembers, vocabulary::kMember,
                     IdentifierForCode(tables.profesor, field::kAbrev, soluc.TextOf(field::kProf)));
    WriteParticipant(out, vocabulary::kLocations, vocabulary::kLocation,
                     IdentifierForCode(tables.aulas, field::kAbrev, soluc.TextOf(field::kAula)));
    out.EndElement();
  }
  out.EndElement();
}

}  // namespace pontexa::to_gedu
