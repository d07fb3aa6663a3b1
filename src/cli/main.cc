// pontexa-cli: the two conversions of the window, for scripts.
//
//   pontexa-cli to-horaplan ARCHIVO.xml [--dir CARPETA] [--report INFORME.json] [--check]
//   pontexa-cli to-gedu ARCHIVO.xml [--dir CARPETA] [--report INFORME.json] [--check]
//   pontexa-cli copies [--dir CARPETA]   (also by its older name, snapshots)
//   pontexa-cli restore NOMBRE [--dir CARPETA] [--xml ARCHIVO.xml]
//
// The exchange file takes the place of the open-file dialog; the closing
// message goes to standard output (status 0), anything that ends a run without
// it to standard error (status 1); wrong usage gives status 2. A run with
// findings adds a one-line summary of them on standard error. `copies` and
// `restore` list and put back the copies the conversions make before writing.

#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "cli/copy_commands.h"
#include "cli/messages.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/regional_settings.h"
#include "run/dry_run.h"
#include "run/folder_claim.h"
#include "run/run_control.h"
#include "run/run_report.h"
#include "run/run_ui.h"
#include "run/table_folder.h"
#include "run/unfinished_run.h"
#include "version.h"

namespace {

namespace messages = pontexa::cli::messages;
using messages::kHelp;
using messages::kUsage;

using pontexa::cli::Arguments;
using pontexa::cli::Command;

// The window's dialog, answered with the path from the command line; messages
// are kept until the run is over, when its outcome says where they go.
class CliUi : public pontexa::run::RunUi {
 public:
  explicit CliUi(std::string path) : path_(std::move(path)) {}

  std::optional<std::string> ChooseExchangeFile(const std::string&) override { return path_; }
  void ShowMessage(const std::string& text) override { messages_.push_back(text); }
  void ShowMessageWithDetails(const std::string& text, const std::string&,
                              const std::string&) override {
    messages_.push_back(text);
  }
  void ShowError(const std::string& text) override { std::cerr << text << "\n"; }
  // Said at once, before anything else of the run.
  void ShowNotice(const std::string& text) override { std::cerr << text << "\n"; }
  void SetWaitCursor(bool) override {}

  void PrintMessages(std::ostream& out) const {
    for (const std::string& text : messages_) out << text << "\n";
  }

 private:
  std::string path_;
  std::vector<std::string> messages_;
};

// --report: the JSON report in its file, created or emptied (a symbolic link,
// such as /dev/stdout, is followed); false, with the reason on standard error,
// when it cannot be written.
bool WriteJsonReport(const std::string& path, const pontexa::run::RunReport& report) {
  std::unique_ptr<pontexa::File> out;
  pontexa::Status status =
      pontexa::Env::Current().Open(path, {pontexa::OpenMode::kOverwrite}, &out);
  if (status && !pontexa::run::WriteReportJson(*out, report)) {
    status = pontexa::Status::Of(pontexa::Status::Code::kOther);
  }
  if (out) {
    const pontexa::Status closed = out->Close();
    if (status) status = closed;
  }
  if (!status) {
    std::cerr << messages::CannotWriteReport(path) << "\n";
    return false;
  }
  return true;
}

// `copies`: only reads, so it shares the folder with other readers and
// only says what waits to be put right.
int ListCopies(const std::filesystem::path& table_folder) {
  const pontexa::run::FolderClaim claim =
      pontexa::run::FolderClaim::Take(table_folder, pontexa::HoldKind::kShared);
  if (const std::string notice = pontexa::run::UnfinishedRunNotice(table_folder); !notice.empty()) {
    std::cerr << notice << "\n";
  }
  return pontexa::cli::ListCopiesCommand(table_folder, std::cout, std::cerr);
}

// `restore`: takes the folder alone, and first puts right a run that did not finish.
int Restore(const std::filesystem::path& table_folder, const Arguments& parsed) {
  const pontexa::run::FolderClaim claim =
      pontexa::run::FolderClaim::Take(table_folder, pontexa::HoldKind::kExclusive);
  if (claim.exclusive()) {
    if (const std::string notice = pontexa::run::PutRightUnfinishedRun(table_folder);
        !notice.empty()) {
      std::cerr << notice << "\n";
    }
  }
  return pontexa::cli::RestoreCommand(table_folder, parsed.exchange_file, parsed.xml.value_or(""),
                                      std::cout, std::cerr);
}

// --check: the conversion tried on temporary copies, with its report.
int CheckRun(const std::filesystem::path& table_folder, const Arguments& parsed,
             const pontexa::RegionalSettings& regional) {
  const pontexa::run::FolderClaim claim =
      pontexa::run::FolderClaim::Take(table_folder, pontexa::HoldKind::kShared);
  if (const std::string notice = pontexa::run::UnfinishedRunNotice(table_folder); !notice.empty()) {
    std::cerr << notice << "\n";
  }
  const pontexa::run::DryRunOutcome outcome = pontexa::run::DryRun(
      parsed.command == Command::kToHoraplan, parsed.exchange_file, table_folder, regional);
  if (!outcome.report.conversion.empty()) {
    pontexa::run::WriteReportText(std::cout, outcome.report, /*for_notepad=*/false);
  }
  if (!outcome.would_succeed) std::cerr << outcome.message << "\n";
  if (parsed.json_report && !WriteJsonReport(*parsed.json_report, outcome.report)) return 1;
  return outcome.would_succeed ? 0 : 1;
}

// One of the two conversions, run as the window runs it.
int Convert(const std::filesystem::path& table_folder, const Arguments& parsed,
            const pontexa::RegionalSettings& regional) {
  CliUi ui(parsed.exchange_file);
  pontexa::run::RunControl control(ui, table_folder, regional);
  const bool done =
      parsed.command == Command::kToHoraplan ? control.RunToHoraplan() : control.RunToGedu();
  ui.PrintMessages(done ? std::cout : std::cerr);
  const std::optional<pontexa::run::RunReport>& report = control.LastReport();
  // A report that could not be written is said on standard error; a failed
  // run's error already says it.
  if (done && report && !control.ReportWritten()) {
    std::cerr << pontexa::run::messages::ReportNotWritten(
                     pontexa::run::ReportPath(*report).string())
              << "\n";
  }
  if (done && report && !report->findings.empty()) {
    std::cerr << messages::FindingsSummary(pontexa::run::FindingsSummaryLine(*report),
                                           pontexa::run::ReportPath(*report).string())
              << "\n";
  }
  if (parsed.json_report && report && !WriteJsonReport(*parsed.json_report, *report)) return 1;
  return done ? 0 : 1;
}

// Runs a well-formed command; a fault found outside a run, such as a scratch
// folder for --check that cannot be made, is shown as the run would show its error.
int RunCommand(const Arguments& parsed) {
  try {
    const pontexa::RegionalSettings regional = pontexa::RegionalSettingsFromEnvironment();
    const std::filesystem::path table_folder = parsed.table_folder
                                                ? std::filesystem::path(*parsed.table_folder)
                                                : pontexa::run::TableFolder();
    if (parsed.command == Command::kCopies) return ListCopies(table_folder);
    if (parsed.command == Command::kRestore) return Restore(table_folder, parsed);
    if (parsed.check) return CheckRun(table_folder, parsed, regional);
    return Convert(table_folder, parsed, regional);
  } catch (const pontexa::Error& error) {
    std::cerr << pontexa::run::ErrorBoxText(error.what()) << "\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << pontexa::run::ErrorBoxText(pontexa::run::messages::InternalError(error.what()))
              << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto parsed = pontexa::cli::ParseCommandLine(args);
  if (const auto* fault = std::get_if<pontexa::cli::UsageFault>(&parsed)) {
    std::cerr << messages::UsageFault(fault->problem) << "\n" << kUsage;
    return 2;
  }
  const Arguments& arguments = std::get<Arguments>(parsed);
  if (arguments.command == Command::kHelp) {
    std::cout << kUsage << kHelp;
    return 0;
  }
  if (arguments.command == Command::kVersion) {
    std::cout << "pontexa-cli " << pontexa::kShownVersion << "\n";
    return 0;
  }
  return RunCommand(arguments);
}
