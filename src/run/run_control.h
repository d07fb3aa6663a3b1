#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "exchange/exchange_file.h"
#include "exchange/school_records.h"
#include "platform/regional_settings.h"
#include "run/folder_claim.h"
#include "run/messages.h"
#include "run/restore.h"
#include "run/run_report.h"
#include "run/run_ui.h"
#include "run/saved_copies.h"
#include "run/undo.h"

namespace pontexa::run {

// The text of the error box: the message with one "." added when it is not
// empty and its last byte is above "." (so a UTF-8 letter such as "á" gets one).
std::string ErrorBoxText(const std::string& message);

// The two conversions from the click to the closing message. Holds the state
// that lasts between runs: the path confirmed last and the latest report.
// Every failure of a run is caught here and shown once through RunUi::ShowError;
// nothing escapes to the caller.
class RunControl {
 public:
  // The tables are read and written in table_folder; the disk is
  // reached through Env::Current().
  RunControl(RunUi& ui, std::filesystem::path table_folder, RegionalSettings regional);

  // GEDU to Horaplan: choose, test, load, a copy of the tables, the six table
  // builds under the wait cursor, "Proceso finalizado". A file that does not
  // load, or a table that another program holds, ends the run with an error
  // before any table is touched; a build that fails restores every table from
  // the copy, and its error says so. Returns true when the run ended with its
  // closing message (false after "No existe archivo" or an error).
  bool RunToHoraplan();
  // Horaplan to GEDU: choose, test, load, copy the exchange file, write the
  // time-tables section into it, "Proceso Terminado". The file is written only
  // at the end, whole, and keeps every byte outside the section it replaces.
  bool RunToGedu();

  // Whether the last run made a copy that restores what it changed, and was
  // not undone yet: its closing box offered "Deshacer".
  bool CanUndoLastRun() const { return undoable_.has_value(); }
  // Restores what the last run changed (the tables, or the exchange file it
  // saved) once the user confirms. It first checks that the files are as that
  // run left them; when they are not it says what changed and asks again.
  // Holds the folder's exclusive claim while it changes it, never while a box
  // waits. Says what it did, or the error; true when it restored the files.
  bool UndoLastRun();
  // The copies that can be restored, newest first, read under a shared claim;
  // false, with the error shown, when they cannot be read.
  bool ListSavedCopies(std::vector<CopyRow>* rows);
  // Restores the saved copy of that name once the user confirms; a copy of
  // the exchange file goes onto the file the user then chooses, offered the
  // path the copy records. As UndoLastRun otherwise.
  bool RestoreSavedCopy(const std::string& name);

  // The path confirmed last in either run ("" before the first); a cancelled
  // choice keeps it.
  const std::string& ExchangeFileName() const { return exchange_file_name_; }

  // The report of the last run that got past the choice of the file, also
  // written to pontexa-informe.txt in the table folder; nothing before.
  const std::optional<RunReport>& LastReport() const { return last_report_; }
  // The same handed over, leaving none: its findings may be in a file.
  std::optional<RunReport> TakeLastReport() { return std::exchange(last_report_, std::nullopt); }
  // False when the last run's report file could not be written (a folder in
  // its place, a full disk); the run's closing box or error says so too.
  bool ReportWritten() const { return report_written_; }

 private:
  // Takes the table folder's exclusive claim and puts right what a run cut
  // short left there; what was put right is said first, with the claim let go
  // while the user reads it. Raises Error when another run holds the folder
  // or the folder cannot be put right.
  void ClaimAndPutRight(bool in_report = true);
  // Steps 1 to 3 of both runs; false after "No existe archivo".
  bool ChooseExchangeFile();
  // What the table builds read from ExchangeFileName, in one pass; raises
  // Error when it does not load.
  exchange::SchoolRecords ReadSchool() const;
  // Raises the Error of a file that does not load, for `reason`.
  [[noreturn]] void FailLoad(std::string reason) const;
  // What a copy made now records about this run.
  CopyRequest Request(const char* made_by) const;
  // Copies the exchange file, then writes the section into it; the copy goes
  // again when the save fails and leaves the file as it was.
  void SaveWithCopy(const exchange::ExchangeFile& file,
                    const std::function<void(exchange::SectionWriter&)>& write_section);
  // A new report for the run that starts now.
  RunReport& StartReport(const char* conversion);
  // Writes the report of a run that ended well and shows the closing message,
  // with the findings when there are any.
  void FinishRun(const char* closing_message);
  // Runs one conversion; the error that ends it goes into the report, which
  // is written, and is shown once.
  template <typename Run>
  bool ShowingErrors(Run run);
  // Runs an undo or a restore from the window; its error is shown once.
  template <typename Act>
  bool ShowingRestoreErrors(Act act);
  // Restores the copy under the claim already taken, lets the claim go and
  // returns what the restore did; `exchange_file` as for RestoreCopy.
  RestoreOutcome RestoreUnderClaim(const std::string& name, const std::string& exchange_file);
  // The closing box of an undo or a restore, with the avisos it found.
  void ShowRestored(const std::string& text, const Findings& findings);
  // Notes what the run that just ended left, when it made `copy`.
  // `saved` is the exchange file's digest as its save read it back, and
  // `tables_left` the tables as the run's record noted them last, if any.
  void NoteUndo(const SavedCopy& copy, const std::string& exchange_file,
                const FileDigest* saved = nullptr,
                const std::vector<CopiedFile>* tables_left = nullptr);

  RunUi& ui_;
  std::filesystem::path table_folder_;
  RegionalSettings regional_;
  std::string exchange_file_name_;
  std::optional<RunReport> last_report_;
  // Held from just after the file is chosen until just before a box waits
  // for the user.
  FolderClaim claim_;
  bool report_written_ = true;
  // What the last run left, while it can be undone.
  std::optional<RunLeft> undoable_;
  // The user pressed "Deshacer" in the closing box of the run just ended.
  bool undo_asked_ = false;
};

}  // namespace pontexa::run
