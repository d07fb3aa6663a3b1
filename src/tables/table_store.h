#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/regional_settings.h"
#include "tables/field_spec.h"

namespace pontexa::tables {

struct StoredField;

enum class OpenMode { kShared, kExclusive };

// The timetable directory and the operations on whole table files. A table
// named T is the dBase file T.DBF there, found whatever the letter case of the
// file name on disk. The store never creates the directory.
class TableStore {
 public:
  TableStore(std::filesystem::path directory, RegionalSettings regional);

  const std::filesystem::path& directory() const { return directory_; }
  const RegionalSettings& regional() const { return regional_; }

  // Deletes the table's .DBF and then .MDX file (every letter-case variant of
  // each name) where they exist; a file that cannot be deleted stays, silently.
  // A table that another process holds is not deleted: that raises Error.
  void DropTableFiles(std::string_view table_name) const;

  // Creates the table T.DBF with exactly these fields in this order, no rows and
  // no index, replacing an existing file of that name; the table is left closed.
  // Raises Error when the file cannot be created or replaced (also when another
  // process holds the table).
  void MakeEmptyTable(std::string_view table_name, const Layout& layout) const;

  // The path of the table's file as found on disk, or as it would be created.
  std::filesystem::path TablePath(std::string_view table_name) const;

 private:
  std::filesystem::path directory_;
  RegionalSettings regional_;
};

// One handle on one table: open, scan, read, append. A handle that belongs to a
// binding carries the binding's name, which prefixes its field-not-found
// messages. Destroying an open handle closes it (dropping an unsaved row).
class Table {
 public:
  Table(const TableStore& store, std::string table_name, std::string binding_name = "");
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  const std::string& table_name() const { return table_name_; }
  const std::string& binding_name() const { return binding_name_; }

  // Opens the existing table; opening an open table does nothing. An exclusive
  // open fails while anyone else has the table open; while it is held, nobody
  // else can open it. Raises Error naming the file when it is missing or in use.
  void OpenTable(OpenMode mode);
  // Releases the table and its hold; closing a closed table does nothing.
  void CloseTable();
  bool IsOpen() const;

  void ToFirstRow();
  void ToNextRow();
  bool PastLastRow() const;

  // Reading a field of the current row; the field name is matched without
  // regard to letter case. See the reading rules in table_store.cc.
  std::string TextOf(std::string_view field) const;  // trailing blanks cut, leading kept
  double FloatOf(std::string_view field) const;
  std::int32_t IntegerOf(std::string_view field) const;

  // Appending: StartNewRow begins a row at the end with every field blank;
  // PutText stores the first `width` characters; PutFloat stores the number;
  // SaveNewRow writes the row as the table's last.
  void StartNewRow();
  void PutText(std::string_view field, std::string_view text);
  void PutFloat(std::string_view field, double value);
  void SaveNewRow();

  // Scans from the first row to the first row whose field text (TextOf) equals
  // key exactly; true with that row current, else false with the last row current.
  bool FindFirstRow(std::string_view field, std::string_view key);

  // Number of rows visited by a scan (rows marked deleted are not visited).
  std::int64_t RowCount() const;

 private:
  class Impl;
  Impl& Open() const;
  Impl& Pending() const;
  const StoredField& Field(std::string_view field) const;
  void SavePending();

  const TableStore& store_;
  std::string table_name_;
  std::string binding_name_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pontexa::tables
