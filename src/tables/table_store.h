#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/regional_settings.h"
#include "tables/field_layout.h"

namespace pontexa::tables {

// The table folder and the operations on whole table files. A table
// named T is the dBase file T.DBF there, found whatever the letter case of the
// file name on disk (the exact spelling first). The store never creates the
// table folder; a missing one is an Error naming it.
//
// Tables it creates are dBase III/IV files (version byte 3) declaring
// Windows-1252 text (language driver 0x57) and a T.cpg side file saying "1252"
// for GIS readers, without index flag:
// text fields are C of their width, integer fields N(11,0), float fields
// N(20,6), which keeps every value with up to six decimals exactly.
class TableStore {
 public:
  TableStore(std::filesystem::path table_folder, RegionalSettings regional);

  const std::filesystem::path& table_folder() const { return table_folder_; }
  const RegionalSettings& regional() const { return regional_; }

  // Raises the in-use error when another program holds one of the table's
  // files (table_files.h) or has it open; touches nothing.
  // table_file.h says what counts as holding.
  void CheckNotHeld(std::string_view table_name) const;

  // Deletes the table's .DBF and then .MDX file (every letter-case variant of
  // each name) where they exist, and its .cpg file once no .DBF is left; a file
  // that cannot be deleted stays, silently.
  // A table that another program holds (any of its files, the .cpg too) is not
  // deleted: that raises Error.
  void DropTableFiles(std::string_view table_name) const;

  // Creates the table T.DBF (upper case) with exactly these fields in this
  // order, no rows and no index, and T.cpg beside it, replacing existing files
  // of those names in any letter case; the table is left closed. Raises Error
  // when a file cannot be created or replaced (also when another process holds
  // the table).
  void MakeEmptyTable(std::string_view table_name, const Layout& layout) const;

  // The path of the table's file as found on disk, or as it would be created.
  std::filesystem::path TablePath(std::string_view table_name) const;

  // The files other processes have open, looked up once for the life of the
  // store (one run) at the first question about a table.
  const OpenFileScan& open_files() const { return *open_files_; }

  // Raises Error naming the table folder when it is missing or not a folder.
  void CheckTableFolder() const;

 private:
  std::filesystem::path table_folder_;
  RegionalSettings regional_;
  std::unique_ptr<OpenFileScan> open_files_;
};

}  // namespace pontexa::tables
