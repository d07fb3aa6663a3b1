#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/copy_manifest.h"
#include "run/saved_copies.h"

namespace pontexa::run {

// The record a run keeps in the table folder while it is under way, the way a
// database keeps a rollback journal: written and flushed to disk, with its
// folder, before the run changes anything, kept up to date after each step,
// and removed only once the folder is in its final state. A record found by a
// run that holds the folder's exclusive claim (see FolderClaim) belongs to a
// run that was cut short: no run that could still be writing holds it.
inline constexpr char kRunRecordName[] = "pontexa-en-curso.txt";

// In place of a table's name: every table of the run.
inline constexpr char kAllTables[] = "*";

// What a record holds.
struct RunRecord {
  std::string made_by;    // kMadeBy...
  bool tables = true;     // false: the run replaces the exchange file, whole
  std::string time;       // local time of its start, "AAAA-MM-DD HH:MM"
  std::string copy_base;  // the name its copy folder starts with, AAAAMMDD-HHMMSS
  int process = 0;        // names its temporary files, ~pontexa-<process>-*
  std::string exchange_file;
  std::vector<std::string> table_names;
  bool copy_made = false;
  std::string copy_name;               // "" when there was nothing to copy
  std::vector<CopiedFile> copied;      // the copy's files, with their digests
  std::vector<CopiedFile> last_known;  // the tables' files after the last step
  std::string writing;                 // the table being written, "" between steps,
                                       // kAllTables for all of them
};

std::string RunRecordText(const RunRecord& record);
// Nothing when the text is not a whole record.
std::optional<RunRecord> ParseRunRecord(std::string_view text);

// The record in the table folder, read without waiting; nothing when there is
// none. Raises Error when something is there that is not a whole record.
std::optional<RunRecord> ReadRunRecord(const std::filesystem::path& table_folder);

// The record of one run, from its start to its end.
class UnfinishedRun {
 public:
  // Records that a run of `made_by` starts at `now`, on `tables` (none for a
  // run that saves the exchange file), before it changes anything. Raises
  // Error when the record cannot be written; in a folder this user may not
  // write at all nothing is recorded, as nothing can be changed there either.
  UnfinishedRun(const std::filesystem::path& table_folder, std::string made_by, bool tables,
                std::time_t now, std::vector<std::string> table_names, std::string exchange_file);
  // A run that ends without Done (an error) leaves its record only when what
  // it changed is not back as the copy keeps it: the next run puts it right.
  ~UnfinishedRun();
  UnfinishedRun(const UnfinishedRun&) = delete;
  UnfinishedRun& operator=(const UnfinishedRun&) = delete;

  // The copy that restores the folder is whole.
  void CopyMade(const SavedCopy& copy);
  // `table` is about to be written: the table written before it is flushed to
  // disk and its files noted as they are now.
  void Writing(const std::string& table);
  // Every table is about to be written at once.
  void WritingAll();
  // A failed run is about to restore every table: none of them is known
  // until it is done. Never raises: a record that cannot be updated leaves
  // the next run more cautious, not less.
  void PuttingBack() noexcept;
  // The folder is in its final state: flushed to disk, and the record goes.
  void Done();
  // After Done, the files of the run's tables as it left them, with their
  // digests; nothing when the run kept no record of them (a run that saves
  // the exchange file, or a folder where no record could be written).
  const std::vector<CopiedFile>* TablesLeft() const;

 private:
  void NoteWritten();
  void Save();

  std::filesystem::path table_folder_;
  RunRecord record_;
  bool active_ = false;
  bool done_ = false;
};

// With the folder's exclusive claim held: puts right what a run cut short
// left, before anything else. The tables go back from the run's copy (checked
// against its digests) unless they changed after its last step; an exchange
// file is never rewritten. The run's leftovers go: its temporary files and a
// copy folder it left without a manifest. Returns what to tell the user, ""
// when there was nothing to put right. Raises Error, changing nothing more,
// naming the copy, when the tables cannot be restored: until they can, no run
// may change the folder.
std::string PutRightUnfinishedRun(const std::filesystem::path& table_folder);

// With a shared claim held: the sentence saying that a run waits to be put
// right, "" when none does. Changes nothing.
std::string UnfinishedRunNotice(const std::filesystem::path& table_folder);

// The window at start-up: takes the folder's claim, puts right what a run
// cut short left, and gives what to show ("" when nothing). When another run
// holds the folder it is not stale: nothing is done. `*error` tells whether
// the text is an error.
std::string PutRightAtStartUp(const std::filesystem::path& table_folder, bool* error);

}  // namespace pontexa::run
