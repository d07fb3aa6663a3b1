#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_copy.h"
#include "run/copy_manifest.h"
#include "run/saved_copies.h"

namespace pontexa::run {

// What a finished run left, and the copy that restores what it changed: all
// that undoing it needs, and what tells whether the files changed since.
struct RunLeft {
  std::string copy_name;
  bool tables = true;         // false: the run saved the exchange file
  std::string exchange_file;  // the file that run saved, as the user chose it
  std::vector<std::string> table_names;
  std::vector<CopiedFile> files;  // as the run left them, with their digests
};

// Notes the files as a run that made `copy` leaves them: the copy's tables
// in the table folder, or the exchange file it saved. Raises Error when a
// file cannot be read. `saved`, when given, is the exchange file's digest as
// its save read it back, and `tables_left` the tables' files as the run's
// record noted them last; either is used instead of reading the files again.
RunLeft NoteWhatRunLeft(const std::filesystem::path& table_folder, const SavedCopy& copy,
                        const std::string& exchange_file, const FileDigest* saved = nullptr,
                        const std::vector<CopiedFile>* tables_left = nullptr);

// The files no longer as the run left them, each as "ASIGT.DBF (modificado)",
// "(borrado)" or "(nuevo)"; empty when every one is.
std::vector<std::string> ChangedSince(const std::filesystem::path& table_folder,
                                      const RunLeft& left);

// One saved copy as the window lists it.
struct CopyRow {
  std::string name;
  std::string time;      // "AAAA-MM-DD HH:MM:SS"
  std::string made_by;   // the conversion (or restore) it was made before
  std::string contents;  // its tables, or its exchange file
  bool tables = true;
  std::string exchange_file;  // the path its manifest records
};

// How the window shows one copy.
CopyRow RowOf(const SavedCopy& copy);

// The copies of the folder that can be restored, newest first, with every
// control character of a value made visible.
std::vector<CopyRow> SavedCopyRows(const std::filesystem::path& table_folder);

}  // namespace pontexa::run
