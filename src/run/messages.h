#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/findings.h"

// Every text the runs, the copies and the restore show the user, in one place.
// Each function builds its message from its parts; paths and names come in as
// they are to be shown.
namespace pontexa::run {

inline constexpr char kNoFileMessage[] = "No existe archivo";
inline constexpr char kToHoraplanDone[] = "Proceso finalizado";
inline constexpr char kToGeduDone[] = "Proceso Terminado";
// Follows the error of a GEDU-to-Horaplan run once every table is back.
inline constexpr char kTablesLeftAsTheyWere[] =
    "Las tablas de Horaplan se han dejado como estaban.";

namespace messages {

std::string OutOfMemory();
std::string InternalError(std::string_view what);
// The message of the error being handled, as the user reads it: Error's own
// message, or one of the two above. Call only inside a catch block of a
// std::exception.
std::string MessageOfCurrentError();

// The exchange file.
std::string NotAnXmlDocument();
std::string CannotReadExchangeFile(std::string_view path, std::string_view reason);
std::string CannotCopyBeforeSaving(std::string_view path, std::string_view reason);
// Added after the count of findings; starts with a blank.
std::string ReportIsAt(std::string_view path);

// The copies made before writing, and restoring them.
std::string CannotCopyTablesBeforeWriting(const std::vector<std::string>& tables,
                                          std::string_view reason);
std::string CannotCopyBeforeRestoring(std::string_view copy, std::string_view reason);
std::string NoSuchCopy(std::string_view copy, std::string_view copies_folder);
std::string DamagedCopy(std::string_view copy_folder);
std::string DamagedCopyFile(std::string_view copy_folder, std::string_view file);
std::string CannotRestore(std::string_view target, std::string_view reason);
std::string CannotRemove(std::string_view file);
std::string CannotMakeFolder(std::string_view folder, std::string_view reason);
std::string TooManyCopiesThisSecond(std::string_view copies_folder);
std::string CannotCopyFileNamed(std::string_view name);
std::string CannotWrite(std::string_view path, std::string_view reason);

// Restoring the tables after a failed GEDU-to-Horaplan run; `reason` is in
// lower case, without a final point.
std::string SomeTableNotAsItWas();
std::string TablesNotLeftAsTheyWere(std::string_view reason, std::string_view copy_folder,
                                    std::string_view copy_name);
// The same when no table existed before the run, so there is no copy.
std::string TablesNotLeftAsTheyWereNoCopy(std::string_view reason);

// Why a copy's manifest cannot be trusted (see ManifestFault), in lower case.
std::string ManifestNamesNoTable(std::string_view table);
std::string ManifestNamesNoFileName(std::string_view name);
std::string ManifestNamesFileOfNoTable(std::string_view name);
// A restore refused before it changed anything.
std::string UnsafeCopy(std::string_view copy, std::string_view reason);
std::string ExchangeCopyNeedsPath(std::string_view copy, std::string_view recorded_path);
std::string NoExchangeFileToReplace(std::string_view path);
std::string XmlPathForTablesCopy(std::string_view copy);
// A restore that failed after it had changed some files: its error, the files
// changed (file names) and the copy that restores them.
std::string RestoreCutShort(std::string_view error, const std::vector<std::string>& changed,
                            std::string_view replaced_folder, std::string_view replaced_name);
// Two letter-case variants of one table file in the table folder.
std::string TableFileTwice(std::string_view first, std::string_view second);

// A text with every control character shown as a visible escape ("\n",
// "\t", "\x1B"), so that it can never end or add a line.
std::string Visible(std::string_view text);

// The dry run.
std::string CannotMakeTrialFolder(std::string_view reason);
// A trial run that failed in its own temporary folder, such as a full $TMPDIR;
// `error` names the temporary files.
std::string TrialSpaceFailed(std::string_view trial_folder, std::string_view error);

// Notes of the run report on how the exchange file was saved.
std::string OwnerNotKept(std::uint32_t owner, std::uint32_t group, std::uint32_t new_owner,
                         std::uint32_t new_group);
std::string OtherNamesKeepOldContent(std::uint64_t names);
// Said after a run whose report file could not be written.
std::string ReportNotWritten(std::string_view path);

// The codes of a saved timetable (SOLUC) that came to name other elements.
struct CodeOwnerWords {
  const char* of;    // "del profesor"
  const char* none;  // "ningún profesor"
};
// "El código 'JP1' era del profesor 'Juana Pardo' (T7) y ahora es de 'Juan
// Pardo' (T9): lo usan 34 clases del horario guardado (SOLUC)."; without
// `has_after`, "y ahora no es de ningún profesor".
std::string CodeMoved(std::string_view code, const CodeOwnerWords& words,
                      std::string_view before_name, std::string_view before_id,
                      std::string_view after_name, std::string_view after_id, bool has_after,
                      std::size_t lessons);
struct MovedCode {
  std::string code;
  const char* of;  // CodeOwnerWords::of
  std::string before_name;
};
std::string TimetableOlderThanCatalogue(const std::vector<MovedCode>& codes);
// `reason` in lower case, without a final point.
std::string TimetableNotChecked(std::string_view reason);

// The run report: its lines, without their line ends.
std::string ReportTitle();
std::string ReportConversion(bool to_horaplan);
std::string ReportTime(std::string_view time);
std::string ReportExchangeFile(std::string_view path);
std::string ReportTableFolder(std::string_view folder);
// "Resultado: terminado", or the error that ended the run.
std::string ReportOutcome(bool ok, std::string_view error);
std::string ReportNote(std::string_view note);
std::string ReportRowsHeading(bool to_horaplan);
std::string ReportNoTables();
// "Avisos: 3", "Notas: ninguna".
std::string ReportFindingsCount(FindingLevel level, std::size_t findings);
// In place of a finding's id when it has none.
inline constexpr char kNoId[] = "(sin id)";
// After the findings shown, when the report holds `more`.
std::string MoreFindingsInReport(FindingLevel level, std::size_t more);
// "Hay 12 avisos." / "Hay 1 aviso."
std::string FindingsCount(std::size_t findings);
// "12 avisos (3 cut, 9 unknown-teacher)", "0 notas": the count of one level
// and, when there are any, the counts by kind.
std::string FindingsSummary(FindingLevel level, std::size_t findings, std::string_view by_kind);

}  // namespace messages
}  // namespace pontexa::run
