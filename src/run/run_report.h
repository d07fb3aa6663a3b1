#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <string>

#include "platform/findings.h"

namespace pontexa::run {

// Every run leaves this report in the table folder, replacing the last one.
inline constexpr char kReportFileName[] = "pontexa-informe.txt";

// What one run did: which conversion, when, on which files, how it ended, the
// rows it wrote or read per table and its findings. Texts are UTF-8.
struct RunReport {
  std::string conversion;  // "to-horaplan" or "to-gedu"
  std::string exchange_file;
  std::string table_folder;
  std::time_t started = 0;
  bool ok = false;
  std::string error;  // the error that ended the run, as shown; "" when ok
  std::string recovery;  // what was put right of a run cut short before it; "" when nothing
  Findings findings;
};

// The report for people: UTF-8 with a byte-order mark and CRLF line ends, so
// that Notepad shows it right: the conversion, time, files, outcome, rows per
// table, then the avisos and then the notas, each under their count and
// grouped by kind, with counts.
std::string ReportText(const RunReport& report);
// The same written to `out`; without `for_notepad`, plain UTF-8 with LF line
// ends, as a terminal shows it.
void WriteReportText(std::ostream& out, const RunReport& report, bool for_notepad);

// The report as JSON: {"conversion", "exchange_file", "table_folder",
// "started" (ISO 8601 local time with offset), "ok", "error" (null when ok),
// "tables": {"NAME": rows}, "findings": [{"kind", "level" ("aviso" or "nota"),
// "table", "field", "element", "id", "detail"}]}.
std::string ReportJson(const RunReport& report);

// The findings of one level grouped by kind, one per line under their kind
// and its count: the details the window offers. LF line ends, no byte-order
// mark. Past `most` findings, one last line says how many more the report holds.
std::string FindingsByKind(const RunReport& report, FindingLevel level,
                           std::size_t most = SIZE_MAX);

// The avisos: "Hay 12 avisos." / "Hay 1 aviso."
std::string FindingsCount(const RunReport& report);

// "1 aviso (1 unknown-teacher), 37 notas (1 cut, 36 renamed-code)" on one line.
std::string FindingsSummaryLine(const RunReport& report);

// Writes the text report into the table folder, replacing the last one; false
// when it cannot be written (no folder, read-only, disk full), leaving the
// old report, if any, as it was.
bool WriteReportFile(const RunReport& report);

std::filesystem::path ReportPath(const RunReport& report);

}  // namespace pontexa::run
