#pragma once

#include <string>
#include <vector>

#include "run/messages.h"
#include "run/saved_copies.h"

namespace pontexa::run {

// The tables as they were before a GEDU-to-Horaplan run, kept so that a run
// that fails leaves the folder exactly as it found it and a run that succeeds
// can be undone.
class TablesBeforeRun {
 public:
  // Copies every file of the tables (nothing is written when none exists).
  // Raises Error, with nothing changed, when the copy cannot be made.
  TablesBeforeRun(const CopyRequest& request, std::vector<std::string> tables);

  // After a successful run: the copy stays and the oldest copies beyond
  // kCopiesKept go.
  void Keep() const;

  // After a failed run: every table that differs from the copy is restored and
  // the tables created where none were are removed; the copy, no longer needed,
  // goes. Returns the sentence that follows the run's error: that the tables
  // were left as they were, or that restoring them failed, why, and where
  // the copy is. Never raises.
  std::string Restore() const noexcept;

  const SavedCopy& copy() const { return copy_; }

 private:
  SavedCopy copy_;
  std::filesystem::path table_folder_;
};

}  // namespace pontexa::run
