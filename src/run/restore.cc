#include "run/restore.h"

#include <system_error>
#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "run/messages.h"
#include "run/restore_files.h"
#include "run/saved_copies.h"
#include "run/saved_timetable.h"
#include "run/unfinished_run.h"

namespace pontexa::run {
namespace {

template <typename MakeCopy>
SavedCopy CopyBeforeRestore(const std::string& name, MakeCopy make_copy) {
  try {
    return make_copy();
  } catch (const Error& error) {
    throw Error(messages::CannotCopyBeforeRestoring(name, AsReason(error.what())));
  }
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

// Restores the tables; a failure after some files changed says which, and
// where their copy is; a failure before leaves no copy of the restore behind.
void RestoreTablesOrExplain(const SavedCopy& copy, const std::filesystem::path& table_folder,
                            const SavedCopy& copy_of_replaced) {
  std::vector<std::string> changed;
  try {
    RestoreTables(copy, table_folder, /*only_changed=*/false, &changed);
  } catch (const Error& error) {
    if (changed.empty() || !copy_of_replaced.written()) {
      RemoveCopy(copy_of_replaced);
      throw;
    }
    throw Error(messages::RestoreCutShort(error.what(), changed, copy_of_replaced.folder.string(),
                                          copy_of_replaced.name));
  } catch (...) {
    if (changed.empty()) RemoveCopy(copy_of_replaced);
    throw;
  }
}

}  // namespace

RestoreOutcome RestoreCopy(const std::filesystem::path& table_folder, std::string_view name,
                           std::time_t now, const std::string& exchange_file) {
  const std::optional<SavedCopy> copy = FindCopy(table_folder, name);
  if (!copy) {
    throw Error(messages::NoSuchCopy(messages::Visible(name), CopiesFolder(table_folder).string()));
  }
  if (std::optional<std::string> fault = ManifestFault(copy->manifest)) {
    throw Error(messages::UnsafeCopy(copy->name, *fault));
  }
  CopyRequest request;
  request.made_by = kMadeByRestore;
  request.restored = copy->name;
  request.table_folder = table_folder;
  request.exchange_file = copy->manifest.exchange_file;
  request.now = now;

  // Refused before anything is recorded or copied.
  if (copy->manifest.holds_tables) {
    if (!exchange_file.empty()) throw Error(messages::XmlPathForTablesCopy(copy->name));
    CheckNoTableFileTwice(table_folder, copy->manifest.tables);
    CheckTablesNotHeld(table_folder, copy->manifest.tables, *Env::Current().NewOpenFileScan());
  } else {
    // The manifest only says where the file was; the user says where it goes.
    if (exchange_file.empty()) {
      throw Error(messages::ExchangeCopyNeedsPath(copy->name, copy->manifest.exchange_file));
    }
    if (!IsExistingFile(exchange_file)) {
      throw Error(messages::NoExchangeFileToReplace(exchange_file));
    }
    request.exchange_file = AbsolutePath(exchange_file);
  }

  UnfinishedRun record(table_folder, kMadeByRestore, copy->manifest.holds_tables, now,
                       copy->manifest.holds_tables ? copy->manifest.tables
                                                   : std::vector<std::string>{},
                       request.exchange_file);
  RestoreOutcome outcome;
  outcome.restored = copy->name;
  outcome.tables = copy->manifest.holds_tables;
  if (copy->manifest.holds_tables) {
    // Always written, also with no table there, so that what the restore
    // replaced can be restored in turn.
    const SavedCopy copy_of_replaced = CopyBeforeRestore(copy->name, [&] {
      return CopyTables(request, copy->manifest.tables, /*even_if_empty=*/true);
    });
    outcome.copy_of_replaced = copy_of_replaced.name;
    record.CopyMade(copy_of_replaced);
    record.WritingAll();
    // Restored catalogues may give a saved timetable's codes to other elements.
    const SavedTimetableCodes saved_timetable(table_folder);
    RestoreTablesOrExplain(*copy, table_folder, copy_of_replaced);
    saved_timetable.CompareWithCatalogues(outcome.findings);
  } else {
    // Whatever is at that path now is copied first (a symbolic link is followed).
    const SavedCopy copy_of_replaced =
        CopyBeforeRestore(copy->name, [&] { return CopyExchangeFile(request); });
    outcome.copy_of_replaced = copy_of_replaced.name;
    record.CopyMade(copy_of_replaced);
    try {
      RestoreExchangeFile(*copy, exchange_file);
    } catch (...) {
      // A save that fails leaves the file as it was: its copy is not needed.
      RemoveCopy(copy_of_replaced);
      throw;
    }
  }
  record.Done();
  PruneCopies(table_folder, outcome.copy_of_replaced);
  return outcome;
}

}  // namespace pontexa::run
