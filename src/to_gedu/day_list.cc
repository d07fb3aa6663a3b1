#include "to_gedu/day_list.h"

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "exchange/vocabulary.h"
#include "tables/catalogue.h"

namespace pontexa::to_gedu {

namespace vocabulary = exchange::vocabulary;
namespace field = tables::field;

namespace {

constexpr int kLastDay = 7;
constexpr int kLastHour = 40;

// Hour numbers are matched on their plain decimal text: "1" to "40", never "01".
int HourNumber(const std::string& text) {
  static const std::unordered_map<std::string, int> kHours = [] {
    std::unordered_map<std::string, int> hours;
    for (int h = 1; h <= kLastHour; ++h) hours.emplace(std::to_string(h), h);
    return hours;
  }();
  auto found = kHours.find(text);
  return found == kHours.end() ? 0 : found->second;
}

}  // namespace

std::string EndTimeText(std::string_view end_time) {
  if (!end_time.empty() && end_time.size() <= 4 && end_time.front() != '0') {
    return "0" + std::string(end_time);
  }
  return std::string(end_time);
}

void WriteDayList(exchange::SectionWriter& out, TableColumns& dias_horas) {
  out.StartElement(vocabulary::kDays);
  const tables::TextColumn& day_numbers = dias_horas.Texts(field::kDia);

  for (int d = 1; d <= kLastDay; ++d) {
    const std::string day_text = std::to_string(d);
    const std::optional<std::size_t> first_row = dias_horas.FirstRow(field::kDia, day_text);
    if (!first_row) continue;

    out.StartElement(vocabulary::kDayElement);
    out.SetAttribute(vocabulary::kId, day_text);
    out.SetAttribute(vocabulary::kName, dias_horas.Texts(field::kTextoDia)[*first_row]);

    // The rows of this day, bucketed by hour number in stored order.
    const tables::TextColumn& hours = dias_horas.Texts(field::kHora);
    std::array<std::vector<std::size_t>, kLastHour + 1> rows_by_hour;
    for (std::size_t row = 0; row < day_numbers.size(); ++row) {
      if (day_numbers[row] != day_text) continue;
      if (int h = HourNumber(hours[row]); h != 0) rows_by_hour[h].push_back(row);
    }

    for (int h = 1; h <= kLastHour; ++h) {
      for (std::size_t row : rows_by_hour[h]) {
        out.StartElement(vocabulary::kIntervalElement);
        out.SetAttribute(vocabulary::kId, vocabulary::kIntervalPrefix + std::to_string(h));
        out.SetAttribute(vocabulary::kBegin, dias_horas.Texts(field::kHoraDesde)[row]);
        out.SetAttribute(vocabulary::kEnd, EndTimeText(dias_horas.Texts(field::kHoraHasta)[row]));
        out.EndElement();
      }
    }
    out.EndElement();
  }
  out.EndElement();
}

}  // namespace pontexa::to_gedu
