#include "run/restore.h"

#include "platform/env.h"
#include "platform/error.h"
#include "run/messages.h"
#include "run/put_back.h"
#include "run/saved_copies.h"
#include "run/saved_timetable.h"

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

  RestoreOutcome outcome;
  outcome.restored = copy->name;
  outcome.tables = copy->manifest.holds_tables;
  if (copy->manifest.holds_tables) {
    // Refused before anything, the copy of what it replaces included.
    CheckTablesNotHeld(table_folder, copy->manifest.tables, *Env::Current().NewOpenFileScan());
    // Always written, also with no table there, so that the restore itself
    // can be undone.
    outcome.undo_copy = CopyBeforeRestore(copy->name, [&] {
                          return CopyTables(request, copy->manifest.tables, /*even_if_empty=*/true);
                        }).name;
    // Catalogues put back may give a saved timetable's codes to other elements.
    const SavedTimetableCodes saved_timetable(table_folder);
    PutBackTables(*copy, table_folder, /*only_changed=*/false);
    saved_timetable.CompareWithCatalogues(outcome.findings);
  } else {
    // Whatever is at the file's path now is copied first (a symbolic link is
    // followed; a dangling one leaves nothing to copy).
    FileInfo present;
    if (Env::Current().Info(copy->manifest.exchange_file, &present).ok()) {
      outcome.undo_copy =
          CopyBeforeRestore(copy->name, [&] { return CopyExchangeFile(request); }).name;
    }
    PutBackExchangeFile(*copy);
  }
  PruneCopies(table_folder);
  return outcome;
}

}  // namespace pontexa::run
