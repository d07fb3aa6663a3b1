#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/findings.h"

namespace pontexa::run {

// What a restore did: the copy put back, and the copy of what it replaced ("" when
// it replaced nothing), which a further restore can put back in turn.
struct RestoreOutcome {
  std::string restored;
  std::string undo_copy;
  bool tables = true;  // false: the exchange file was put back
  // With tables put back under a saved timetable (SOLUC): its codes that now
  // name other elements (code-moved).
  Findings findings;
};

// Puts the copy of that name back: its tables into the table folder, or the
// exchange file to the path its manifest records. First it copies what it is
// about to replace; after it, the oldest copies beyond kCopiesKept go. Refuses
// with the in-use error, changing nothing, while another program holds a file
// of those tables. Raises Error (no such copy, in use, damaged copy, disk).
RestoreOutcome RestoreCopy(const std::filesystem::path& table_folder, std::string_view name,
                           std::time_t now);

}  // namespace pontexa::run
