#include "run/restore.h"

#include "platform/env.h"
#include "platform/error.h"
#include "run/messages.h"
#include "run/put_back.h"
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

}  // namespace

RestoreOutcome RestoreCopy(const std::filesystem::path& table_folder, std::string_view name,
                           std::time_t now) {
  const std::optional<SavedCopy> copy = FindCopy(table_folder, name);
  if (!copy) {
    throw Error(messages::NoSuchCopy(name, CopiesFolder(table_folder).string()));
  }
  CopyRequest request;
  request.made_by = kMadeByRestore;
  request.restored = copy->name;
  request.table_folder = table_folder;
  request.exchange_file = copy->manifest.exchange_file;
  request.now = now;

  UnfinishedRun record(table_folder, kMadeByRestore, copy->manifest.holds_tables, now,
                       copy->manifest.holds_tables ? copy->manifest.tables
                                                   : std::vector<std::string>{},
                       copy->manifest.exchange_file);
  RestoreOutcome outcome;
  outcome.restored = copy->name;
  outcome.tables = copy->manifest.holds_tables;
  if (copy->manifest.holds_tables) {
    // Refused before anything, the copy of what it replaces included.
    CheckTablesNotHeld(table_folder, copy->manifest.tables, *Env::Current().NewOpenFileScan());
    // Always written, also with no table there, so that the restore itself
    // can be undone.
    const SavedCopy undo = CopyBeforeRestore(copy->name, [&] {
      return CopyTables(request, copy->manifest.tables, /*even_if_empty=*/true);
    });
    outcome.undo_copy = undo.name;
    record.CopyMade(undo);
    record.WritingAll();
    // Catalogues put back may give a saved timetable's codes to other elements.
    const SavedTimetableCodes saved_timetable(table_folder);
    PutBackTables(*copy, table_folder, /*only_changed=*/false);
    saved_timetable.CompareWithCatalogues(outcome.findings);
  } else {
    // Whatever is at the file's path now is copied first (a symbolic link is
    // followed; a dangling one leaves nothing to copy).
    FileInfo present;
    SavedCopy undo;
    if (Env::Current().Info(copy->manifest.exchange_file, &present).ok()) {
      undo = CopyBeforeRestore(copy->name, [&] { return CopyExchangeFile(request); });
      outcome.undo_copy = undo.name;
    }
    record.CopyMade(undo);
    PutBackExchangeFile(*copy);
  }
  record.Done();
  PruneCopies(table_folder);
  return outcome;
}

}  // namespace pontexa::run
