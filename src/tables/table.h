#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "tables/distinct_texts.h"
#include "tables/text_column.h"

namespace pontexa::tables {

class TableStore;
struct StoredField;

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
