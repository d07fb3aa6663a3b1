#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/env.h"
#include "platform/regional_settings.h"
#include "tables/distinct_texts.h"
#include "tables/field_layout.h"

namespace pontexa::tables {

struct StoredField;

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

 private:
  std::filesystem::path table_folder_;
  RegionalSettings regional_;
  std::unique_ptr<OpenFileScan> open_files_;
};

// One handle on one table: open, scan, read, append. A handle that belongs to a
// binding carries the binding's name, which prefixes its field-not-found
// messages. Destroying an open handle closes it (dropping an unsaved row), so
// an error anywhere never leaves a table held.
//
// Tables written by other programs are read whatever their dBase III, IV or V
// field types (numeric N and F by the number rules, any other type as its
// text), their text converted from the code page their language driver
// declares. Rows marked deleted are never visited. A file whose header is
// damaged or claims more rows than the file holds is refused at open, as is a
// dBase 7 file.
//
// Saved rows go to the file in large blocks while appending, the header
// counting the rows on disk after each block, and the rest at CloseTable, which
// also writes the final row count into the header. When the disk refuses a
// write (full, or a file-size limit), SaveNewRow or CloseTable raises Error
// naming the file and the table is left whole, holding the rows that reached
// the disk and counting them; further rows are refused.
// One field's text in every row of a table, in stored order. Each distinct
// text is kept once and the rows hold its number: a column of codes repeats a
// few hundred texts over hundreds of thousands of rows.
class TextColumn {
 public:
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const std::string& operator[](std::size_t row) const { return distinct_[rows_[row]]; }
  // The number of the row's text among the distinct ones, counted from 0 in
  // the order first met; below DistinctCount().
  std::uint32_t NumberAt(std::size_t row) const { return rows_[row]; }
  std::size_t DistinctCount() const { return distinct_.size(); }
  // Adds the text of the next row.
  void push_back(std::string text);
  void reserve(std::size_t rows) { rows_.reserve(rows); }
  // Frees what push_back keeps to find a text again, once the column is
  // whole; a later push_back builds it anew.
  void DoneAdding();

 private:
  bool done_adding_ = false;
  std::vector<std::uint32_t> rows_;
  std::deque<std::string> distinct_;  // a deque: the views in numbers_ stay valid
  std::unordered_map<std::string_view, std::uint32_t> numbers_;
};

class Table {
 public:
  Table(const TableStore& store, std::string table_name, std::string binding_name = "");
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  const std::string& table_name() const { return table_name_; }
  const std::string& binding_name() const { return binding_name_; }

  // Opens the existing table, positioned on its first row; opening an open
  // table does nothing. An exclusive open fails while another program holds
  // the table or has it open; while it is held, other programs asking for a
  // lock on it are refused (locks taken without waiting; table_file.h). A
  // shared open lets readers in. A file that may not be written opens for
  // reading only. Raises Error naming the file when it is missing, in use or
  // damaged.
  void OpenTable(HoldKind hold);
  // The same as a shared open, but for reading only even where the table may
  // be written: for a look that must never change it.
  void OpenTableReadOnly();
  // Writes the saved rows still held, releases the table and its hold; closing
  // a closed table does nothing. Raises Error when the rows cannot be written
  // (the table is released all the same).
  void CloseTable();
  bool IsOpen() const;

  // Scanning in stored order. ToNextRow at the last row sets PastLastRow and
  // keeps the last row current. A move with a new row pending saves it first.
  // Every operation but OpenTable and CloseTable raises Error on a closed table.
  void ToFirstRow();
  void ToNextRow();
  bool PastLastRow() const;

  // Reading a field of the current row (of the new row while one is pending;
  // blank when the table has no row); the field name is matched without regard
  // to letter case. The rules per stored type are in field_value.h.
  std::string TextOf(std::string_view field) const;  // trailing blanks cut, leading kept
  double FloatOf(std::string_view field) const;
  std::int32_t IntegerOf(std::string_view field) const;

  // Appending: StartNewRow begins a row at the end with every field blank;
  // PutText stores the first `width` characters; PutFloat stores the number,
  // rounded to the field's decimals (Error when it does not fit the field);
  // SaveNewRow writes the row as the table's last. Put and Save without a
  // started row raise Error.
  void StartNewRow();
  void PutText(std::string_view field, std::string_view text);
  void PutFloat(std::string_view field, double value);
  void SaveNewRow();

  // The field's text (as TextOf gives it) in every row, in stored order, read
  // in one scan from the first row that leaves the last row current. The field
  // is looked up once, at the first row: an empty table reads no field at all.
  TextColumn TextsOf(std::string_view field);
  // The same scan, keeping only the field's distinct texts.
  DistinctTexts DistinctTextsOf(std::string_view field);

  // Scans from the first row to the first row whose field text (TextOf) equals
  // key exactly; true with that row current, else false with the last row current.
  bool FindFirstRow(std::string_view field, std::string_view key);

  // Number of rows visited by a scan (rows marked deleted are not visited).
  std::int64_t RowCount() const;

 private:
  class Impl;
  void OpenWith(HoldKind hold, bool only_read);
  Impl& Open() const;
  Impl& Pending() const;
  const StoredField& Field(std::string_view field) const;
  // The scan of TextsOf, handing each row's text to texts.push_back.
  template <class Texts>
  void ReadTexts(std::string_view field, Texts& texts);
  void SavePending();

  const TableStore& store_;
  std::string table_name_;
  std::string binding_name_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pontexa::tables
