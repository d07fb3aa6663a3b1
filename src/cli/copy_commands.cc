#include "cli/copy_commands.h"

#include <exception>
#include <new>

#include "cli/messages.h"
#include "platform/env.h"
#include "platform/error.h"
#include "run/messages.h"
#include "run/restore.h"
#include "run/run_control.h"
#include "run/saved_copies.h"

namespace pontexa::cli {
namespace {

std::string MadeByText(const run::CopyManifest& manifest) {
  if (manifest.made_by == run::kMadeByToHoraplan) return messages::MadeBeforeToHoraplan();
  if (manifest.made_by == run::kMadeByToGedu) return messages::MadeBeforeToGedu();
  return messages::MadeBeforeRestoring(run::messages::Visible(manifest.restored));
}

std::string FilesText(const run::SavedCopy& copy) {
  // Values are shown with their control characters escaped: one line per copy.
  if (!copy.manifest.holds_tables) return run::messages::Visible(copy.manifest.exchange_file);
  std::string text;
  for (const std::string& table : copy.manifest.tables) {
    const std::vector<run::CopiedFile> files = copy.manifest.FilesOf(table);
    if (!text.empty()) text += ", ";
    if (files.empty()) {
      text += messages::DidNotExist(table);
      continue;
    }
    for (std::size_t i = 0; i < files.size(); ++i) text += (i > 0 ? " " : "") + files[i].name;
  }
  return text;
}

}  // namespace

int ListCopiesCommand(const std::filesystem::path& table_folder, std::ostream& out, std::ostream&) {
  const std::vector<run::SavedCopy> copies = run::ListCopies(table_folder);
  if (copies.empty()) {
    out << messages::NoCopies(run::CopiesFolder(table_folder).string()) << "\n";
    return 0;
  }
  for (const run::SavedCopy& copy : copies) {
    out << copy.name << "  " << run::messages::Visible(copy.manifest.time) << "  "
        << MadeByText(copy.manifest) << "  " << FilesText(copy) << "\n";
  }
  return 0;
}

int RestoreCommand(const std::filesystem::path& table_folder, const std::string& name,
                   const std::string& exchange_file, std::ostream& out, std::ostream& err) {
  std::string message;
  try {
    const run::RestoreOutcome outcome =
        run::RestoreCopy(table_folder, name, Env::Current().Now(), exchange_file);
    out << messages::Restored(outcome.tables, outcome.restored);
    if (!outcome.copy_of_replaced.empty()) {
      out << messages::WhatWasThereIsIn(outcome.copy_of_replaced);
    }
    out << "\n";
    outcome.findings.ForEach([&out](const Finding& finding) { out << finding.detail << "\n"; });
    return 0;
  } catch (const std::exception&) {
    message = run::messages::MessageOfCurrentError();
  }
  err << run::ErrorBoxText(message) << "\n";
  return 1;
}

}  // namespace pontexa::cli
