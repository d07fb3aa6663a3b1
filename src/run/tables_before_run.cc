#include "run/tables_before_run.h"

#include <exception>
#include <new>

#include "platform/error.h"
#include "run/messages.h"
#include "run/restore_files.h"

namespace pontexa::run {
TablesBeforeRun::TablesBeforeRun(const CopyRequest& request, std::vector<std::string> tables)
    : table_folder_(request.table_folder) {
  // Its own message: this is no failure to copy.
  CheckNoTableFileTwice(request.table_folder, tables);
  try {
    copy_ = CopyTables(request, tables, /*even_if_empty=*/false);
  } catch (const Error& error) {
    throw Error(messages::CannotCopyTablesBeforeWriting(tables, AsReason(error.what())));
  }
}

void TablesBeforeRun::Keep() const { PruneCopies(table_folder_, copy_.name); }

std::string TablesBeforeRun::Restore() const noexcept {
  std::string reason;
  try {
    RestoreTables(copy_, table_folder_, /*only_changed=*/true);
    bool all_back = true;
    for (const std::string& table : copy_.manifest.tables) {
      if (!TableAsInCopy(copy_, table_folder_, table)) all_back = false;
    }
    if (all_back) {
      RemoveCopy(copy_);
      return kTablesLeftAsTheyWere;
    }
    reason = messages::SomeTableNotAsItWas();
  } catch (const std::bad_alloc&) {
    reason = AsReason(messages::OutOfMemory());
  } catch (const std::exception& error) {
    reason = AsReason(error.what());
  }
  try {
    return copy_.written()
               ? messages::TablesNotLeftAsTheyWere(reason, copy_.folder.string(), copy_.name)
               : messages::TablesNotLeftAsTheyWereNoCopy(reason);
  } catch (...) {
    return "";
  }
}

}  // namespace pontexa::run
