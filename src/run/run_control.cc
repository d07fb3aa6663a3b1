#include "run/run_control.h"

#include <exception>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "exchange/exchange_file.h"
#include "platform/code_page.h"
#include "platform/env.h"
#include "platform/error.h"
#include "run/restore.h"
#include "run/restore_files.h"
#include "run/saved_timetable.h"
#include "run/tables_before_run.h"
#include "run/undo_messages.h"
#include "run/unfinished_run.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"
#include "to_gedu/timetable_section.h"
#include "to_horaplan/table_builds.h"

namespace pontexa::run {

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + ".";
  }
  return message;
}

namespace {

// The wait cursor for as long as the object lives; off again however the run
// ends, before its error is shown.
class WaitCursor {
 public:
  explicit WaitCursor(RunUi& ui) : ui_(ui) { ui_.SetWaitCursor(true); }
  ~WaitCursor() {
    try {
      ui_.SetWaitCursor(false);
    } catch (...) {
      // Nothing can be done about a cursor that does not come back.
    }
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  RunUi& ui_;
};

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// A path as it appears in a message: file names on disk are normally UTF-8, but
// a name in the 8-bit code page must not break the message.
std::string PathForMessage(const std::string& path) {
  return IsUtf8(path) ? path : Utf8FromSystem(path);
}

}  // namespace

RunControl::RunControl(RunUi& ui, std::filesystem::path table_folder, RegionalSettings regional)
    : ui_(ui), table_folder_(std::move(table_folder)), regional_(regional) {}

void RunControl::ClaimAndPutRight(bool in_report) {
  claim_ = FolderClaim::Take(table_folder_, HoldKind::kExclusive);
  if (!claim_.exclusive()) return;
  const std::string notice = PutRightUnfinishedRun(table_folder_);
  if (notice.empty()) return;
  if (last_report_ && in_report) last_report_->recovery = notice;
  // No claim is held while a box waits for the user.
  claim_.Release();
  ui_.ShowNotice(notice);
  claim_ = FolderClaim::Take(table_folder_, HoldKind::kExclusive);
  // Another run may have come and gone meanwhile.
  if (claim_.exclusive()) {
    const std::string more = PutRightUnfinishedRun(table_folder_);
    if (!more.empty() && last_report_ && in_report) last_report_->recovery += " " + more;
  }
}

bool RunControl::ChooseExchangeFile() {
  if (std::optional<std::string> chosen = ui_.ChooseExchangeFile(exchange_file_name_)) {
    exchange_file_name_ = std::move(*chosen);
  }
  if (!IsExistingFile(exchange_file_name_)) {
    ui_.ShowMessage(kNoFileMessage);
    return false;
  }
  return true;
}

exchange::SchoolRecords RunControl::ReadSchool() const {
  try {
    return exchange::ReadSchoolRecords(exchange_file_name_);
  } catch (const exchange::CannotLoad& failure) {
    FailLoad(failure.what());
  }
}

void RunControl::FailLoad(std::string reason) const {
  if (reason.empty()) reason = messages::NotAnXmlDocument();
  throw Error(messages::CannotReadExchangeFile(PathForMessage(exchange_file_name_), reason));
}

CopyRequest RunControl::Request(const char* made_by) const {
  CopyRequest request;
  request.made_by = made_by;
  request.table_folder = table_folder_;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(exchange_file_name_, error);
  request.exchange_file = error ? exchange_file_name_ : absolute.lexically_normal().string();
  request.now = Env::Current().Now();
  return request;
}

void RunControl::SaveWithCopy(const exchange::ExchangeFile& file,
                              const std::function<void(exchange::SectionWriter&)>& write_section) {
  const CopyRequest request = Request(kMadeByToGedu);
  UnfinishedRun record(table_folder_, kMadeByToGedu, /*tables=*/false, request.now, {},
                       request.exchange_file);
  // What the file was, before its copy (which may be a second name of it), for
  // the report's notes on how the save left it.
  FileInfo before;
  const bool known = Env::Current().Info(exchange_file_name_, &before).ok();
  SavedCopy copy;
  FileDigest saved;
  try {
    copy = CopyExchangeFile(request);
  } catch (const Error& error) {
    throw Error(messages::CannotCopyBeforeSaving(PathForMessage(exchange_file_name_),
                                                 AsReason(error.what())));
  }
  record.CopyMade(copy);
  try {
    saved = file.SaveWithSection(exchange_file_name_, write_section);
  } catch (...) {
    // A save that failed left the file as it was: its copy is not needed.
    if (ExchangeFileAsInCopy(copy)) RemoveCopy(copy);
    throw;
  }
  FileInfo after;
  if (known && last_report_ && Env::Current().Info(exchange_file_name_, &after).ok()) {
    for (std::string& note : NotesOnSavedFile(before, after)) {
      last_report_->notes.push_back(std::move(note));
    }
  }
  record.Done();
  PruneCopies(table_folder_, copy.name);
  NoteUndo(copy, exchange_file_name_, &saved);
}

template <typename Run>
bool RunControl::ShowingErrors(Run run) {
  last_report_.reset();
  report_written_ = true;
  std::string message;
  try {
    return run();
  } catch (...) {
    message = ErrorBoxText(messages::MessageOfCurrentError());
  }
  // A run refused its claim changes nothing, not even the report.
  if (last_report_ && claim_.held()) {
    last_report_->ok = false;
    last_report_->error = message;
    report_written_ = WriteReportFile(*last_report_);
    // A run stopped by a full disk or a read-only folder has said why already;
    // something else in the report's place (a folder) would go unsaid.
    FileInfo in_place;
    if (!report_written_ && Env::Current().LinkInfo(ReportPath(*last_report_), &in_place).ok() &&
        !in_place.IsRegular()) {
      if (!message.ends_with('.')) message += '.';
      message += " " + messages::ReportNotWritten(ReportPath(*last_report_).string());
    }
  }
  claim_.Release();
  ui_.ShowError(message);
  return false;
}

RunReport& RunControl::StartReport(const char* conversion) {
  // What an earlier run left is no longer the last thing to undo.
  undoable_.reset();
  RunReport& report = last_report_.emplace();
  report.conversion = conversion;
  report.exchange_file = Request(conversion).exchange_file;
  report.table_folder = table_folder_.string();
  report.started = Env::Current().Now();
  return report;
}

void RunControl::FinishRun(const char* closing_message) {
  RunReport& report = *last_report_;
  report.ok = true;
  const bool written = WriteReportFile(report);
  report_written_ = written;
  claim_.Release();
  // Notas only change how things look in Horaplan: the report holds them,
  // the box shows what the office must act on.
  const bool avisos = report.findings.CountOf(FindingLevel::kAviso) > 0;
  if (!avisos && written) {
    if (undoable_) {
      undo_asked_ = ui_.ShowClosingMessage(closing_message, "", "");
    } else {
      ui_.ShowMessage(closing_message);
    }
    return;
  }
  std::string summary = avisos ? FindingsCount(report) : "";
  if (!written) {
    summary +=
        (summary.empty() ? "" : " ") + messages::ReportNotWritten(ReportPath(report).string());
  } else {
    summary += messages::ReportIsAt(ReportPath(report).string());
  }
  // A box is no place for a hundred thousand lines: the report holds them all.
  constexpr std::size_t kFindingsShown = 1000;
  const std::string details = FindingsByKind(report, FindingLevel::kAviso, kFindingsShown);
  if (undoable_) {
    undo_asked_ = ui_.ShowClosingMessage(closing_message, summary, details);
  } else {
    ui_.ShowMessageWithDetails(closing_message, summary, details);
  }
}

void RunControl::NoteUndo(const SavedCopy& copy, const std::string& exchange_file,
                          const FileDigest* saved, const std::vector<CopiedFile>* tables_left) {
  if (!copy.written()) return;
  try {
    undoable_ = NoteWhatRunLeft(table_folder_, copy, exchange_file, saved, tables_left);
  } catch (const Error&) {
    // A file that cannot be read back now cannot be checked before an undo:
    // none is offered, and the copy stays in the list.
    undoable_.reset();
  }
}

bool RunControl::RunToHoraplan() {
  undo_asked_ = false;
  const bool done = ShowingErrors([this] {
    if (!ChooseExchangeFile()) return false;
    Findings& findings = StartReport(kMadeByToHoraplan).findings;
    ClaimAndPutRight();
    // The findings go to a file in the folder as they come, once it is ours.
    findings.SpoolIn(table_folder_);
    const exchange::SchoolRecords school = ReadSchool();
    const tables::TableStore store(table_folder_, regional_);
    {
      WaitCursor wait(ui_);
      // Recorded before anything changes, so that a run cut short is put
      // right by the next one.
      const CopyRequest request = Request(kMadeByToHoraplan);
      UnfinishedRun record(table_folder_, kMadeByToHoraplan, /*tables=*/true, request.now,
                           tables::BuiltTables(), request.exchange_file);
      // A copy of the tables first: a step that fails restores every table.
      const TablesBeforeRun before(request, tables::BuiltTables());
      record.CopyMade(before.copy());
      // The codes a saved timetable uses, and what they name before the rebuild.
      const SavedTimetableCodes saved_timetable(table_folder_);
      try {
        // A table another program holds stops the run before any is touched.
        to_horaplan::CheckTablesNotHeld(store);
        record.Writing(tables::kAsignomt);
        to_horaplan::BuildSubjectTable(school, store, &findings);
        record.Writing(tables::kProft);
        to_horaplan::BuildTeacherTable(school, store, &findings);
        record.Writing(tables::kAulat);
        to_horaplan::BuildRoomTable(school, store, &findings);
        record.Writing(tables::kGrupost);
        to_horaplan::BuildGroupTable(school, store, &findings);
        record.Writing(tables::kAsigt);
        to_horaplan::BuildAssignmentTable(school, store, &findings);
        record.Writing(tables::kDiashorast);
        to_horaplan::CreateDayHourTable(store, &findings);
        // Flushed to disk before the record goes.
        record.Done();
      } catch (...) {
        // The error ends with a point before the sentence that follows it.
        std::string message = ErrorBoxText(messages::MessageOfCurrentError());
        if (!message.ends_with('.')) message += '.';
        record.PuttingBack();
        throw Error(message + " " + before.Restore());
      }
      before.Keep();
      saved_timetable.CompareWithCatalogues(findings);
      NoteUndo(before.copy(), exchange_file_name_, nullptr, record.TablesLeft());
    }
    FinishRun(kToHoraplanDone);
    return true;
  });
  if (done && undo_asked_) UndoLastRun();
  return done;
}

bool RunControl::RunToGedu() {
  undo_asked_ = false;
  const bool done = ShowingErrors([this] {
    if (!ChooseExchangeFile()) return false;
    Findings& findings = StartReport(kMadeByToGedu).findings;
    ClaimAndPutRight();
    // The findings go to a file in the folder as they come, once it is ours.
    findings.SpoolIn(table_folder_);
    {
      // Two runs from different table folders never save one file at once;
      // the file is let go before the closing box waits for the user.
      const ExchangeFileClaim exchange_claim = ExchangeFileClaim::Take(exchange_file_name_);
      // The file is written back byte for byte around the new section, so it
      // is read as bytes and checked, not made into a tree.
      exchange::ExchangeFile file;
      try {
        file.Load(exchange_file_name_);
      } catch (const exchange::CannotLoad& failure) {
        FailLoad(failure.what());
      }
      CheckNoTableFileTwice(table_folder_, {tables::kDiashorast, tables::kGrupost, tables::kSoluc,
                                            tables::kProft, tables::kAsignomt, tables::kAulat});
      const tables::TableStore store(table_folder_, regional_);
      CheckTimetableNotOlderThanCatalogues(table_folder_, findings);
      SaveWithCopy(file, [&store, &findings](exchange::SectionWriter& out) {
        to_gedu::WriteTimetableSection(out, store, &findings);
      });
    }
    FinishRun(kToGeduDone);
    return true;
  });
  if (done && undo_asked_) UndoLastRun();
  return done;
}

template <typename Act>
bool RunControl::ShowingRestoreErrors(Act act) {
  std::string message;
  try {
    return act();
  } catch (...) {
    message = ErrorBoxText(messages::MessageOfCurrentError());
  }
  claim_.Release();
  ui_.ShowError(message);
  return false;
}

RestoreOutcome RunControl::RestoreUnderClaim(const std::string& name,
                                             const std::string& exchange_file) {
  RestoreOutcome outcome;
  {
    WaitCursor wait(ui_);
    // No run from another table folder saves that file meanwhile.
    ExchangeFileClaim exchange_claim;
    if (!exchange_file.empty()) exchange_claim = ExchangeFileClaim::Take(exchange_file);
    outcome = RestoreCopy(table_folder_, name, Env::Current().Now(), exchange_file);
  }
  claim_.Release();
  return outcome;
}

void RunControl::ShowRestored(const std::string& text, const Findings& findings) {
  if (findings.CountOf(FindingLevel::kAviso) == 0) {
    ui_.ShowMessage(text);
    return;
  }
  RunReport report;
  report.findings = findings;
  constexpr std::size_t kFindingsShown = 1000;
  ui_.ShowMessageWithDetails(text, FindingsCount(report),
                             FindingsByKind(report, FindingLevel::kAviso, kFindingsShown));
}

bool RunControl::UndoLastRun() {
  if (!undoable_) {
    ui_.ShowMessage(messages::NothingToUndo());
    return false;
  }
  const RunLeft left = *undoable_;
  const std::string shown_file = messages::Visible(PathForMessage(left.exchange_file));
  if (!ui_.Confirm({messages::kUndoHeading, messages::UndoQuestion(left.tables, shown_file),
                    messages::kUndoButton})) {
    return false;
  }
  return ShowingRestoreErrors([&] {
    // The changes the user has agreed to lose; asked again whenever what
    // changed is not what was agreed.
    std::vector<std::string> agreed;
    for (;;) {
      ClaimAndPutRight(/*in_report=*/false);
      std::vector<std::string> changed = ChangedSince(table_folder_, left);
      if (changed == agreed) break;
      claim_.Release();
      if (!ui_.Confirm({messages::kUndoHeading, messages::ChangedSinceQuestion(changed),
                        messages::kUndoButton, /*warning=*/true})) {
        return false;
      }
      agreed = std::move(changed);
    }
    const RestoreOutcome outcome =
        RestoreUnderClaim(left.copy_name, left.tables ? "" : left.exchange_file);
    undoable_.reset();
    ShowRestored(messages::UndoDone(left.tables, shown_file, outcome.copy_of_replaced),
                 outcome.findings);
    return true;
  });
}

bool RunControl::ListSavedCopies(std::vector<CopyRow>* rows) {
  return ShowingRestoreErrors([&] {
    // Read under a shared claim, as the batch tool lists them.
    claim_ = FolderClaim::Take(table_folder_, HoldKind::kShared);
    *rows = SavedCopyRows(table_folder_);
    claim_.Release();
    return true;
  });
}

bool RunControl::RestoreSavedCopy(const std::string& name) {
  return ShowingRestoreErrors([&] {
    const std::optional<SavedCopy> copy = FindCopy(table_folder_, name);
    if (!copy) {
      throw Error(
          messages::NoSuchCopy(messages::Visible(name), CopiesFolder(table_folder_).string()));
    }
    const CopyRow row = RowOf(*copy);
    if (!ui_.Confirm({messages::kRestoreHeading,
                      messages::RestoreQuestion(row.tables, row.time, row.made_by),
                      messages::kRestoreButton})) {
      return false;
    }
    std::string target;
    if (!row.tables) {
      // The copy only says where the file was; the user says where it goes.
      std::optional<std::string> chosen = ui_.ChooseExchangeFile(row.exchange_file);
      if (!chosen) return false;
      target = std::move(*chosen);
    }
    ClaimAndPutRight(/*in_report=*/false);
    const RestoreOutcome outcome = RestoreUnderClaim(name, target);
    ShowRestored(
        messages::RestoreDone(row.tables, messages::Visible(name), outcome.copy_of_replaced,
                              messages::Visible(PathForMessage(target))),
        outcome.findings);
    return true;
  });
}

}  // namespace pontexa::run
