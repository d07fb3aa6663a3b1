#include "to_gedu/timetable_check.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/code_page.h"
#include "platform/numbers.h"
#include "tables/catalogue.h"

namespace pontexa::to_gedu {

namespace field = tables::field;

namespace {

// A whole number from a table's text ("3", "  3", "3.0"); nothing otherwise.
std::optional<std::int64_t> WholeNumber(std::string text) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + begin, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value != std::floor(value)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(value);
}

std::string IntervalText(double interval) {
  std::string text(1, 'i');
  text += FormatGeneral(interval, '.');
  return text;
}

std::string Quoted(const std::string& text) {
  std::string quoted(1, '\'');
  quoted += Utf8FromSystem(text);
  quoted += '\'';
  return quoted;
}

// One catalogue whose codes SOLUC uses.
struct Catalogue {
  TableColumns& columns;
  const char* code_field;   // in the catalogue
  const char* soluc_field;  // in SOLUC
  const char* element;      // what the code becomes in the section
  const char* what;         // Spanish, for the sentence
  const char* table;
};

// A slot and a code, as one key: the bytes of the day and of the interval, then the code.
std::string SlotKey(std::int32_t day, double interval, const std::string& code) {
  std::string key(sizeof day + sizeof interval, '\0');
  std::memcpy(key.data(), &day, sizeof day);
  std::memcpy(key.data() + sizeof day, &interval, sizeof interval);
  return key + code;
}

// The second code of one slot, noted once per slot and first code.
struct Clash {
  std::string first;  // the other code seen first
  bool noted = false;
};

}  // namespace

WeekSlots WeekSlots::Read(TableColumns& dias_horas) {
  WeekSlots week;
  const std::vector<std::string>& days = dias_horas.Texts(field::kDia);
  const std::vector<std::string>& hours = dias_horas.Texts(field::kHora);
  week.rows_ = days.size();
  for (std::size_t row = 0; row < days.size(); ++row) {
    const auto day = WholeNumber(days[row]);
    const auto hour = WholeNumber(hours[row]);
    if (day && hour) week.slots_.emplace(static_cast<std::int32_t>(*day), *hour);
  }
  return week;
}

bool WeekSlots::Has(std::int32_t day, double interval) const {
  if (interval != std::floor(interval) || std::abs(interval) > 1e15) return false;
  return slots_.count({day, static_cast<std::int64_t>(interval)}) != 0;
}

void CheckTimetable(const WeekSlots& week, const InputTables& tables, Findings& findings) {
  tables::Table& soluc = tables.soluc.table();
  const Catalogue catalogues[] = {
      {tables.nom_asg, field::kCod, field::kAsig, "activity", "la asignatura", tables::kAsignomt},
      {tables.grupos, field::kAbrev, field::kCodGrupo, "group", "el grupo", tables::kGrupost},
      {tables.profesor, field::kAbrev, field::kProf, "member", "el profesor", tables::kProft},
      {tables.aulas, field::kAbrev, field::kAula, "location", "el aula", tables::kAulat},
  };
  // Codes not in their catalogue: lessons per code, in the order first met.
  std::vector<std::map<std::string, std::size_t>> unknown(std::size(catalogues));
  std::vector<std::vector<std::string>> unknown_order(std::size(catalogues));
  std::map<std::pair<std::int32_t, double>, std::size_t> missing_slots;
  std::vector<std::pair<std::int32_t, double>> missing_order;
  std::unordered_map<std::string, Clash> teacher_rooms, room_teachers;

  std::int64_t row_number = 0;
  for (soluc.ToFirstRow(); !soluc.PastLastRow(); soluc.ToNextRow()) {
    ++row_number;
    const std::int32_t day = soluc.IntegerOf(field::kDia);
    std::string codes[std::size(catalogues)];
    for (std::size_t c = 0; c < std::size(catalogues); ++c) {
      codes[c] = soluc.TextOf(catalogues[c].soluc_field);
    }
    if (day == 0) {
      findings.Add({"skipped-lesson", tables::kSoluc, field::kDia, "",
                    "fila " + std::to_string(row_number),
                    "La clase de la fila " + std::to_string(row_number) + " de SOLUC (asignatura " +
                        Quoted(codes[0]) + ", grupo " + Quoted(codes[1]) + ", profesor " +
                        Quoted(codes[2]) + ") no tiene día (DIA 0): no se escribe en GEDU."});
      continue;
    }
    const double hour = soluc.FloatOf(field::kHora);
    const double interval = soluc.FloatOf(field::kSesiones) == 0.5 ? 2 * hour - 1 : hour;

    for (std::size_t c = 0; c < std::size(catalogues); ++c) {
      const std::string& code = codes[c];
      if (code.empty() || catalogues[c].columns.FirstRow(catalogues[c].code_field, code)) continue;
      if (unknown[c][code]++ == 0) unknown_order[c].push_back(code);
    }
    if (!week.Has(day, interval) && missing_slots[{day, interval}]++ == 0) {
      missing_order.emplace_back(day, interval);
    }

    // Each teacher in one room per slot, each room with one teacher.
    const std::string& teacher = codes[2];
    const std::string& room = codes[3];
    if (teacher.empty() || room.empty()) continue;
    const auto note_clash = [&](std::unordered_map<std::string, Clash>& seen,
                                const std::string& who, const std::string& other, const char* kind,
                                const char* field_name, const char* sentence) {
      auto [entry, fresh] = seen.try_emplace(SlotKey(day, interval, who));
      Clash& clash = entry->second;
      if (fresh) {
        clash.first = other;
        return;
      }
      if (clash.first == other) return;
      const std::string slot =
          "el día " + std::to_string(day) + ", intervalo " + IntervalText(interval);
      if (!clash.noted) {
        clash.noted = true;
        findings.Add({kind, tables::kSoluc, field_name, "", Utf8FromSystem(who),
                      std::string(sentence) + " " + Quoted(who) + " tiene " + slot + " " +
                          Quoted(clash.first) + " y " + Quoted(other) + "."});
      }
    };
    note_clash(teacher_rooms, teacher, room, "teacher-in-two-rooms", field::kAula, "El profesor");
    note_clash(room_teachers, room, teacher, "room-with-two-teachers", field::kProf, "El aula");
  }

  for (std::size_t c = 0; c < std::size(catalogues); ++c) {
    for (const std::string& code : unknown_order[c]) {
      const std::size_t lessons = unknown[c][code];
      findings.Add({"code-not-in-catalogue", tables::kSoluc, catalogues[c].soluc_field,
                    catalogues[c].element, Utf8FromSystem(code),
                    "El código " + Quoted(code) + " de " + catalogues[c].what + " (" +
                        std::to_string(lessons) + (lessons == 1 ? " clase" : " clases") +
                        ") no está en " + catalogues[c].table +
                        ": se escribe el código como identificador."});
    }
  }
  for (const auto& slot : missing_order) {
    const std::size_t lessons = missing_slots[slot];
    const std::string where =
        "día " + std::to_string(slot.first) + ", intervalo " + IntervalText(slot.second);
    findings.Add({"slot-not-in-week", tables::kSoluc, field::kHora, "", where,
                  std::to_string(lessons) + (lessons == 1 ? " clase cae" : " clases caen") +
                      " en un día e intervalo que DIASHORAST no tiene: GEDU no los conoce."});
  }

  findings.CountRows(tables::kDiashorast, static_cast<std::int64_t>(week.rows()));
  findings.CountRows(tables::kSoluc, row_number);
  for (const Catalogue& catalogue : catalogues) {
    findings.CountRows(catalogue.table, static_cast<std::int64_t>(
                                            catalogue.columns.Texts(catalogue.code_field).size()));
  }
}

}  // namespace pontexa::to_gedu
