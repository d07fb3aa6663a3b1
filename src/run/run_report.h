#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/env.h"
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
  // What the user should know about how the files were left, one sentence
  // each (the exchange file's owner not kept, its other names...).
  std::vector<std::string> notes;
  Findings findings;
};

// The report for people: UTF-8 with a byte-order mark and CRLF line ends, so
// that Notepad shows it right: the conversion, time, files, outcome, notes,
// rows per table, then the avisos and then the notas, each under their count
// and grouped by kind, with counts. Every control character of a value (a
// path, an id, a detail) is shown as a visible escape ("\n", "\x1B"), so that
// no value can end or add a line.
std::string ReportText(const RunReport& report);
// The same written to `out` a piece at a time; without `for_notepad`, plain
// UTF-8 with LF line ends, as a terminal shows it. False when `out` failed or
// the findings could not all be read back.
bool WriteReportText(std::ostream& out, const RunReport& report, bool for_notepad);

// The report as JSON: {"conversion", "exchange_file", "table_folder",
// "started" (ISO 8601 local time with offset), "ok", "error" (null when ok),
// "notes": [text], "tables": {"NAME": rows}, "findings": [{"kind", "level"
// ("aviso" or "nota"), "table", "field", "element", "id", "detail"}]}.
std::string ReportJson(const RunReport& report);
// The same appended to `out` a piece at a time; false when a write failed or
// the findings could not all be read back.
bool WriteReportJson(File& out, const RunReport& report);

// The findings of one level grouped by kind, one per line under their kind
// and its count: the details the window offers. LF line ends, no byte-order
// mark, control characters made visible as in the report. Past `most`
// findings, one last line says how many more the report holds.
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

// The notes a save of the exchange file leaves in the report, from what the
// file was before it (`before`) and what is at its path after (`after`): its
// owner or group not kept, its other names (hard links) left with the old
// content. None when it was saved as it was.
std::vector<std::string> NotesOnSavedFile(const FileInfo& before, const FileInfo& after);

}  // namespace pontexa::run
