#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace pontexa::cli {

// `copies`: the copies in the table folder, newest first, one per line:
// folder name, what made it, its time and its files. Returns the exit status.
int ListCopiesCommand(const std::filesystem::path& table_folder, std::ostream& out,
                      std::ostream& err);

// `restore NAME [--xml PATH]`: restores the copy (a copy of the exchange
// file onto `exchange_file`, which must exist) and says what it did. Returns
// the exit status: 0 when it was restored, 1 with the error on `err`.
int RestoreCommand(const std::filesystem::path& table_folder, const std::string& name,
                   const std::string& exchange_file, std::ostream& out, std::ostream& err);

}  // namespace pontexa::cli
