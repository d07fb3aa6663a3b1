#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "run/copy_manifest.h"

namespace pontexa::run {

// The copies live in this folder inside the table folder, one folder each,
// named after the local time of the copy (AAAAMMDD-HHMMSS, then -2, -3... for
// more copies in the same second), holding the copied files and the manifest.
// Nothing else in that folder is a copy: it is never listed, restored, pruned
// or removed.
inline constexpr char kCopiesFolderName[] = "copias-pontexa";
// How many copies a successful run keeps.
inline constexpr std::size_t kCopiesKept = 20;

std::filesystem::path CopiesFolder(const std::filesystem::path& table_folder);

// Whether a name in the copies folder is that of a copy: AAAAMMDD-HHMMSS or
// AAAAMMDD-HHMMSS-N.
bool IsCopyName(std::string_view name);

// One copy: its folder's name and path and its manifest. A copy with an empty
// folder path was never written (there was nothing to copy); its manifest
// still says which tables did not exist.
struct SavedCopy {
  std::string name;
  std::filesystem::path folder;
  CopyManifest manifest;
  bool written() const { return !folder.empty(); }
};

// What a new copy records about the run that makes it.
struct CopyRequest {
  std::string made_by;   // kMadeBy...
  std::string restored;  // for a restore, the copy it restores
  std::filesystem::path table_folder;
  std::string exchange_file;
  std::time_t now = 0;
};

// Every file of the table as it is now (see tables::TableFilesOf), with its size and
// SHA-256. Raises Error when one cannot be read.
std::vector<CopiedFile> TableFilesNow(const std::filesystem::path& table_folder,
                                      const std::string& table);

// Raises Error, naming both files, when the folder holds two letter-case
// variants of the .DBF or .MDX of one of the tables (ASIGT.DBF and asigt.dbf):
// which of them Horaplan reads cannot be told, so no run takes either.
void CheckNoTableFileTwice(const std::filesystem::path& table_folder,
                           const std::vector<std::string>& tables);

// Raises the in-use error when another program holds any file of the tables
// (see tables::TableFilesOf); `others` is the run's one look at other processes.
void CheckTablesNotHeld(const std::filesystem::path& table_folder,
                        const std::vector<std::string>& tables, const OpenFileScan& others);

// Copies every file of the tables into a new copy folder, with its manifest
// written last (a folder without one is a copy cut short); refuses, as
// CheckNoTableFileTwice, a table with two files of one name. When none of the
// tables has a file and `even_if_empty` is false, nothing is written. Raises
// Error with the reason, having removed what it wrote, when the copy cannot be
// made (folder read-only, disk full, a file that cannot be read).
SavedCopy CopyTables(const CopyRequest& request, const std::vector<std::string>& tables,
                     bool even_if_empty);

// Copies the exchange file into a new copy folder, under its own name with
// any control character made "_"; Error as CopyTables.
SavedCopy CopyExchangeFile(const CopyRequest& request);

// The copies with a valid manifest that names only files it may name (see
// ManifestFault), newest first: in the order they were made, whatever the
// clock said, those made before copies were counted last.
std::vector<SavedCopy> ListCopies(const std::filesystem::path& table_folder);

// The copy of that folder name, when it has a well-formed manifest; whether
// the manifest may be trusted is for the caller to ask (ManifestFault).
std::optional<SavedCopy> FindCopy(const std::filesystem::path& table_folder, std::string_view name);

// Removes the copies beyond the `keep` newest, sparing the copy named `spared`
// (the one the current run made); a folder that ListCopies does not list is
// never touched. Never raises: a copy that cannot be removed stays.
void PruneCopies(const std::filesystem::path& table_folder, std::string_view spared,
                 std::size_t keep = kCopiesKept);

// A message used as the reason in another sentence, its first word in lower
// case ("No se puede leer..." becomes "no se puede leer...").
std::string AsReason(std::string message);

// Removes one copy: the files its manifest lists and the manifest, then its
// folder and the copies folder when they are left empty. Anything else in the
// folder stays. Never raises.
void RemoveCopy(const SavedCopy& copy);

}  // namespace pontexa::run
