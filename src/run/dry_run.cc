#include "run/dry_run.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/file_copy.h"
#include "run/messages.h"
#include "run/run_control.h"
#include "run/saved_copies.h"
#include "run/saved_timetable.h"
#include "tables/catalogue.h"
#include "tables/table_files.h"

namespace pontexa::run {
namespace {

// A folder of its own under the system's temporary folder, removed with all
// it holds when the object goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    if (Status status = Env::Current().MakeTemporaryFolder("pontexa-prueba-", &path_); !status) {
      throw Error(messages::CannotMakeTrialFolder(status.text()));
    }
  }
  ~ScratchFolder() { Env::Current().RemoveTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The scratch run's answers: the copied file in the dialog, messages kept.
class ScratchUi : public RunUi {
 public:
  explicit ScratchUi(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> ChooseExchangeFile(const std::string&) override { return path_; }
  void ShowMessage(const std::string& text) override { message = text; }
  void ShowMessageWithDetails(const std::string& text, const std::string&,
                              const std::string&) override {
    message = text;
  }
  void ShowError(const std::string& text) override { message = text; }
  void SetWaitCursor(bool) override {}
  std::string message;

 private:
  std::string path_;
};

// Watches the trial's writes into its temporary folder. The real folder and
// file are only read, so a write that fails there (a full $TMPDIR) is the
// trial's own failure, to be told as such, not as one of the real folder.
class TrialSpaceWatch : public EnvWrapper {
 public:
  TrialSpaceWatch(Env& target, std::filesystem::path folder)
      : EnvWrapper(target), folder_(folder.string() + "/") {}

  bool failed() const { return failed_; }

  Status Open(const std::filesystem::path& path, OpenOptions options,
              std::unique_ptr<File>* file) override {
    const Status status = target().Open(path, options, file);
    if (!Inside(path)) return status;
    if (!status) {
      if (options.mode != OpenMode::kRead) Note(status);
      return status;
    }
    *file = std::make_unique<WatchedFile>(std::move(*file), this);
    return status;
  }
  Status CreateTemporary(const std::filesystem::path& folder, std::string_view prefix,
                         std::unique_ptr<File>* file, std::filesystem::path* path) override {
    const Status status = target().CreateTemporary(folder, prefix, file, path);
    if (!Inside(folder / "x")) return status;
    if (!status) return Note(status);
    *file = std::make_unique<WatchedFile>(std::move(*file), this);
    return status;
  }
  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    const Status status = target().Rename(from, to);
    return Inside(to) ? Note(status) : status;
  }
  Status MakeFolder(const std::filesystem::path& path) override {
    const Status status = target().MakeFolder(path);
    return Inside(path) ? Note(status) : status;
  }

 private:
  // An open file of the trial folder whose failed writes are noted.
  class WatchedFile : public File {
   public:
    WatchedFile(std::unique_ptr<File> file, TrialSpaceWatch* watch)
        : file_(std::move(file)), watch_(watch) {}
    Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                  std::size_t* read) override {
      return file_->ReadAt(offset, buffer, size, read);
    }
    Status Read(char* buffer, std::size_t size, std::size_t* read) override {
      return file_->Read(buffer, size, read);
    }
    Status WriteAt(std::uint64_t offset, std::string_view bytes, std::size_t* written) override {
      return watch_->Note(file_->WriteAt(offset, bytes, written));
    }
    Status Append(std::string_view bytes) override { return watch_->Note(file_->Append(bytes)); }
    Status Truncate(std::uint64_t size) override { return watch_->Note(file_->Truncate(size)); }
    void StartWriteBack(std::uint64_t offset, std::uint64_t length) override {
      file_->StartWriteBack(offset, length);
    }
    Status Sync() override { return watch_->Note(file_->Sync()); }
    Status Info(FileInfo* info) override { return file_->Info(info); }
    Status TakeAccessOf(const FileInfo* original) override {
      return watch_->Note(file_->TakeAccessOf(original));
    }
    Status Close() override { return watch_->Note(file_->Close()); }
    bool TryHold(HoldKind kind) override { return file_->TryHold(kind); }
    std::optional<ProcessId> LockedElsewhere() override { return file_->LockedElsewhere(); }

   private:
    std::unique_ptr<File> file_;
    TrialSpaceWatch* watch_;
  };

  bool Inside(const std::filesystem::path& path) const {
    return path.string().starts_with(folder_);
  }
  // A name that exists or does not is an answer, not a failure of the space.
  Status Note(Status status) {
    if (!status.ok() && status.code() != Status::Code::kExists &&
        status.code() != Status::Code::kNotFound) {
      failed_ = true;
    }
    return status;
  }

  std::string folder_;
  bool failed_ = false;
};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

// The tables a conversion reads or replaces, copied for its trial.
std::vector<std::string> TablesOfRun(bool to_horaplan) {
  return to_horaplan
             ? tables::BuiltTables()
             : std::vector<std::string>{tables::kDiashorast, tables::kGrupost,  tables::kSoluc,
                                        tables::kProft,      tables::kAsignomt, tables::kAulat};
}

// The real places and the trial's copies of them.
struct TrialPlaces {
  std::filesystem::path table_folder;
  std::string exchange_file;
  std::filesystem::path scratch_tables;
  std::filesystem::path scratch_file;
};

// Copies the run's tables into the trial's folder, once no other program holds
// them, and what the real run reads besides when it is there.
void CopyTables(const TrialPlaces& places, const std::vector<std::string>& tables,
                bool to_horaplan) {
  CheckTablesNotHeld(places.table_folder, tables, *Env::Current().NewOpenFileScan());
  for (const std::string& table : tables) {
    for (const auto& file : tables::TableFilesOf(places.table_folder, table)) {
      CopyFileWithDigest(file, places.scratch_tables / file.filename());
    }
  }
  // What the real run reads besides: the saved timetable, whose codes
  // GEDU to Horaplan checks, and the record of codes that moved under it.
  std::vector<std::filesystem::path> also_read;
  if (to_horaplan) also_read = tables::TableFilesOf(places.table_folder, tables::kSoluc);
  FileInfo record;
  if (Env::Current().LinkInfo(places.table_folder / kMovedCodesFileName, &record).ok() &&
      record.kind == FileInfo::Kind::kRegular) {
    also_read.push_back(places.table_folder / kMovedCodesFileName);
  }
  for (const auto& file : also_read) {
    // The run only looks at these and goes on without them: so does the trial.
    try {
      CopyFileWithDigest(file, places.scratch_tables / file.filename());
    } catch (const Error&) {
      Env::Current().Remove(places.scratch_tables / file.filename());
    }
  }
}

// The outcome of a trial whose copies could not be made: the error, said as
// the trial folder's own when a write there failed, and a report of it alone.
DryRunOutcome NotCopied(const Error& error, const TrialPlaces& places, bool to_horaplan,
                        const TrialSpaceWatch& watch, const std::filesystem::path& scratch) {
  DryRunOutcome outcome;
  outcome.message = ErrorBoxText(error.what());
  if (watch.failed()) {
    outcome.message = messages::TrialSpaceFailed(scratch.string(), outcome.message);
  }
  outcome.report.conversion = to_horaplan ? kMadeByToHoraplan : kMadeByToGedu;
  outcome.report.exchange_file = places.exchange_file;
  outcome.report.table_folder = places.table_folder.string();
  outcome.report.started = Env::Current().Now();
  outcome.report.error = outcome.message;
  return outcome;
}

// The user knows the real places, not the scratch ones: the message, the
// error and the findings' details name them, unless the trial's own folder
// failed it, which is said with the trial's names.
void PutRealNames(DryRunOutcome& outcome, const TrialPlaces& places, bool trial_space_failed) {
  const auto real_names = [&](std::string& text) {
    ReplaceAll(text, places.scratch_tables.string(), places.table_folder.string());
    ReplaceAll(text, places.scratch_file.string(), places.exchange_file);
  };
  if (!trial_space_failed) {
    real_names(outcome.message);
    real_names(outcome.report.error);
  }
  // The findings may be in a file: their details are put right as they are read.
  outcome.report.findings.RewriteDetails(
      [scratch_tables = places.scratch_tables.string(), scratch_file = places.scratch_file.string(),
       table_folder = places.table_folder.string(),
       exchange_file = places.exchange_file](std::string& detail) {
        ReplaceAll(detail, scratch_tables, table_folder);
        ReplaceAll(detail, scratch_file, exchange_file);
      });
}

}  // namespace

DryRunOutcome DryRun(bool to_horaplan, const std::string& exchange_file,
                     const std::filesystem::path& table_folder, RegionalSettings regional) {
  const std::vector<std::string> tables = TablesOfRun(to_horaplan);
  const ScratchFolder scratch;
  TrialSpaceWatch watch(Env::Current(), scratch.path());
  const ScopedEnv watched(watch);
  const TrialPlaces places{table_folder, exchange_file, scratch.path() / "tablas",
                           scratch.path() / std::filesystem::path(exchange_file).filename()};
  // Without a table folder there is nothing to copy: the scratch run is given
  // the missing folder and fails there as the real run would.
  FileInfo folder;
  const bool has_tables = Env::Current().Info(table_folder, &folder).ok() && folder.IsFolder();
  if (has_tables) {
    if (Status status = Env::Current().MakeFolder(places.scratch_tables); !status) {
      throw Error(messages::CannotMakeTrialFolder(status.text()));
    }
  }
  std::string scratch_file_name = exchange_file;
  try {
    if (IsExistingFile(exchange_file)) {
      CopyFileWithDigest(exchange_file, places.scratch_file);
      scratch_file_name = places.scratch_file.string();
    }
    if (has_tables) CopyTables(places, tables, to_horaplan);
  } catch (const Error& error) {
    return NotCopied(error, places, to_horaplan, watch, scratch.path());
  }

  DryRunOutcome outcome;
  ScratchUi ui(scratch_file_name);
  RunControl control(ui, has_tables ? places.scratch_tables : table_folder, regional);
  outcome.would_succeed = to_horaplan ? control.RunToHoraplan() : control.RunToGedu();
  outcome.message = ui.message;
  if (std::optional<RunReport> report = control.TakeLastReport()) outcome.report = std::move(*report);
  if (watch.failed()) {
    // The trial's own folder failed it: said as such, with the trial's names.
    outcome.would_succeed = false;
    outcome.message = messages::TrialSpaceFailed(scratch.path().string(), outcome.message);
    outcome.report.error = outcome.message;
  }
  PutRealNames(outcome, places, watch.failed());
  outcome.report.exchange_file = exchange_file;
  outcome.report.table_folder = table_folder.string();
  if (outcome.report.conversion.empty()) {
    outcome.report.conversion = to_horaplan ? kMadeByToHoraplan : kMadeByToGedu;
    outcome.report.started = Env::Current().Now();
    outcome.report.error = outcome.message;
  }
  return outcome;
}

}  // namespace pontexa::run
