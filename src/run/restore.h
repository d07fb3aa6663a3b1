#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/findings.h"

namespace pontexa::run {

// What a restore did: the copy restored, and the copy of what it replaced ("" when
// it replaced nothing), which a further restore can restore in turn.
struct RestoreOutcome {
  std::string restored;
  std::string copy_of_replaced;
  bool tables = true;  // false: the exchange file was restored
  // With tables restored under a saved timetable (SOLUC): its codes that now
  // name other elements (code-moved).
  Findings findings;
};

// Restores the copy of that name: its tables into the table folder, or its
// exchange file onto `exchange_file`, the existing file the user names now
// (a symbolic link followed as a save follows it); the path the manifest
// records is never written on its own authority. First it copies what it is
// about to replace; after it, the oldest copies beyond kCopiesKept go, never
// the one it made. Refuses, changing nothing: a copy whose manifest names a
// file it may not name, an exchange-file copy without an existing
// `exchange_file` (or a tables copy with one), two letter-case variants of a
// table file, another program holding a file of those tables. A restore that
// fails leaves no copy of its own behind, unless it had changed some files:
// then its error names them and that copy. Raises Error.
RestoreOutcome RestoreCopy(const std::filesystem::path& table_folder, std::string_view name,
                           std::time_t now, const std::string& exchange_file = "");

}  // namespace pontexa::run
