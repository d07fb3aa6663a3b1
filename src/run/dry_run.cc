#include "run/dry_run.h"

#include <stdlib.h>

#include <system_error>
#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/file_copy.h"
#include "platform/file_system.h"
#include "platform/system_error_text.h"
#include "run/messages.h"
#include "run/run_control.h"
#include "run/saved_copies.h"
#include "tables/catalogue.h"

namespace pontexa::run {
namespace {

// A folder of its own under the system's temporary folder, removed with all
// it holds when the object goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "pontexa-prueba-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr) {
      throw Error(messages::CannotMakeTrialFolder(SystemErrorText(error ? error.value() : errno)));
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
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

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace

DryRunOutcome DryRun(bool to_horaplan, const std::string& exchange_file,
                     const std::filesystem::path& table_folder, RegionalSettings regional) {
  const std::vector<std::string> tables =
      to_horaplan
          ? std::vector<std::string>{tables::kAsignomt, tables::kProft, tables::kAulat,
                                     tables::kGrupost,  tables::kAsigt, tables::kDiashorast}
          : std::vector<std::string>{tables::kDiashorast, tables::kGrupost,  tables::kSoluc,
                                     tables::kProft,      tables::kAsignomt, tables::kAulat};
  const ScratchFolder scratch;
  const std::filesystem::path scratch_tables = scratch.path() / "tablas";
  const std::filesystem::path scratch_file =
      scratch.path() / std::filesystem::path(exchange_file).filename();
  DryRunOutcome outcome;
  std::string scratch_file_name = exchange_file;
  try {
    const RealFileSystem files;
    if (files.IsExistingFile(exchange_file)) {
      CopyFileWithDigest(exchange_file, scratch_file);
      scratch_file_name = scratch_file.string();
    }
    std::error_code error;
    if (std::filesystem::is_directory(table_folder, error)) {
      std::filesystem::create_directory(scratch_tables);
      CheckTablesNotHeld(table_folder, tables, *Env::Current().NewOpenFileScan());
      for (const std::string& table : tables) {
        for (const auto& file : TableFilesOf(table_folder, table)) {
          CopyFileWithDigest(file, scratch_tables / file.filename());
        }
      }
    }
  } catch (const Error& error) {
    outcome.message = ErrorBoxText(error.what());
    outcome.report.conversion = to_horaplan ? kMadeByToHoraplan : kMadeByToGedu;
    outcome.report.exchange_file = exchange_file;
    outcome.report.table_folder = table_folder.string();
    outcome.report.started = std::time(nullptr);
    outcome.report.error = outcome.message;
    return outcome;
  }

  ScratchUi ui(scratch_file_name);
  const RealFileSystem files;
  RunControl control(ui, files,
                     std::filesystem::is_directory(scratch_tables) ? scratch_tables : table_folder,
                     regional);
  outcome.would_succeed = to_horaplan ? control.RunToHoraplan() : control.RunToGedu();
  outcome.message = ui.message;
  if (control.LastReport()) outcome.report = *control.LastReport();
  // The user knows the real places, not the scratch ones.
  const auto real_names = [&](std::string& text) {
    ReplaceAll(text, scratch_tables.string(), table_folder.string());
    ReplaceAll(text, scratch_file.string(), exchange_file);
  };
  real_names(outcome.message);
  real_names(outcome.report.error);
  for (Finding& finding : outcome.report.findings.all()) {
    real_names(finding.detail);
  }
  outcome.report.exchange_file = exchange_file;
  outcome.report.table_folder = table_folder.string();
  if (outcome.report.conversion.empty()) {
    outcome.report.conversion = to_horaplan ? kMadeByToHoraplan : kMadeByToGedu;
    outcome.report.started = std::time(nullptr);
    outcome.report.error = outcome.message;
  }
  return outcome;
}

}  // namespace pontexa::run
