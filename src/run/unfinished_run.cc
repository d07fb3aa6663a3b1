#include "run/unfinished_run.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <memory>

#include "platform/error.h"
#include "platform/file_copy.h"
#include "platform/file_io.h"
#include "platform/local_time.h"
#include "platform/messages.h"
#include "platform/percent_escape.h"
#include "run/folder_claim.h"
#include "run/messages.h"
#include "run/recovery_messages.h"
#include "run/restore_files.h"
#include "run/run_report.h"
#include "run/saved_timetable.h"
#include "tables/table_files.h"

namespace pontexa::run {
namespace {

constexpr char kFirstLine[] = "pontexa-en-curso 1";
constexpr char kLastLine[] = "fin";

std::filesystem::path RecordPath(const std::filesystem::path& table_folder) {
  return table_folder / kRunRecordName;
}

std::filesystem::path RecordTemporary(const std::filesystem::path& table_folder) {
  return table_folder / ("~" + std::string(kRunRecordName));
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A table's name as the catalogue has them: letters, digits and '_' only, so
// that a record, whoever wrote it, never leads outside the table folder.
bool IsTableName(std::string_view name) {
  return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// The exchange file belongs to no table: "-" in place of the table's name.
std::string FileLine(const CopiedFile& file) {
  return (file.table.empty() ? "-" : PercentEscaped(file.table)) + " " + PercentEscaped(file.name) +
         " " + std::to_string(file.size) + " " + file.sha256;
}

std::optional<CopiedFile> ParseFileLine(std::string_view text) {
  const std::vector<std::string_view> words = Words(text);
  if (words.size() != 4 || words[3].size() != 64) return std::nullopt;
  CopiedFile file;
  const std::optional<std::string> table = PercentUnescaped(words[0]);
  const std::optional<std::string> name = PercentUnescaped(words[1]);
  if (!table || !name || name->empty() || name->find('/') != std::string::npos) {
    return std::nullopt;
  }
  const auto [end, error] =
      std::from_chars(words[2].data(), words[2].data() + words[2].size(), file.size);
  if (error != std::errc() || end != words[2].data() + words[2].size()) return std::nullopt;
  file.table = *table == "-" ? "" : *table;
  file.name = *name;
  file.sha256 = std::string(words[3]);
  return file;
}

}  // namespace

std::optional<RunRecord> ReadRunRecord(const std::filesystem::path& table_folder) {
  const std::filesystem::path path = RecordPath(table_folder);
  if (!NameExists(path)) return std::nullopt;
  constexpr std::uint64_t kMostBytes = 1 << 20;
  std::string text;
  if (!ReadWholeFile(path.string(), &text, kMostBytes).ok()) {
    throw Error(messages::DamagedRunRecord(path.string()));
  }
  std::optional<RunRecord> record = ParseRunRecord(text);
  if (!record) throw Error(messages::DamagedRunRecord(path.string()));
  return record;
}

namespace {

// Flushes every file of the table, and the folder's names, to disk.
void SyncTable(const std::filesystem::path& table_folder, const std::string& table) {
  for (const auto& path : tables::TableFilesOf(table_folder, table)) {
    std::unique_ptr<File> file;
    Status status = Env::Current().Open(path, {OpenMode::kRead, /*no_wait=*/true}, &file);
    if (status) status = file->Sync();
    if (!status) throw Error(messages::CannotWrite(path.string(), status.text()));
  }
}

// A copy made of the record's own digests: enough to compare tables with.
SavedCopy CopyOfRecord(const RunRecord& record, const std::vector<CopiedFile>& files) {
  SavedCopy copy;
  copy.name = record.copy_name;
  copy.manifest.tables = record.table_names;
  copy.manifest.files = files;
  return copy;
}

bool TablesAs(const std::filesystem::path& table_folder, const SavedCopy& copy,
              const std::string& except = "") {
  if (except == kAllTables) return true;
  for (const std::string& table : copy.manifest.tables) {
    if (table != except && !TableAsInCopy(copy, table_folder, table)) return false;
  }
  return true;
}

bool SameFiles(const std::vector<CopiedFile>& a, const std::vector<CopiedFile>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].table != b[i].table || a[i].name != b[i].name || a[i].size != b[i].size ||
        a[i].sha256 != b[i].sha256) {
      return false;
    }
  }
  return true;
}

// Removes the temporary files a run cut short leaves in the table folder:
// the report, the record and the moved codes being written, and the files restored beside their
// places (~pontexa-<process>-NAME). Only with the exclusive claim: no other
// run can be writing them.
void RemoveTemporaries(const std::filesystem::path& table_folder) {
  Env& env = Env::Current();
  std::vector<std::string> names;
  if (!env.List(table_folder, &names).ok()) return;
  for (const std::string& name : names) {
    bool leftover = name == "~" + std::string(kReportFileName) ||
                    name == "~" + std::string(kRunRecordName) ||
                    name == "~" + std::string(kMovedCodesFileName);
    if (!leftover && name.starts_with("~pontexa-")) {
      const std::string_view rest = std::string_view(name).substr(9);
      const std::size_t dash = rest.find('-');
      leftover = dash != std::string_view::npos && dash + 1 < rest.size() &&
                 AllDigits(rest.substr(0, dash));
    }
    if (!leftover) continue;
    FileInfo info;
    const std::filesystem::path path = table_folder / name;
    if (env.LinkInfo(path, &info).ok() && !info.IsFolder()) env.Remove(path);
  }
}

// Removes the copy folders the run began and left without a manifest.
void RemoveUnfinishedCopies(const std::filesystem::path& table_folder, const RunRecord& record) {
  Env& env = Env::Current();
  const std::filesystem::path copies = CopiesFolder(table_folder);
  std::vector<std::string> names;
  if (record.copy_base.empty() || !env.List(copies, &names).ok()) return;
  for (const std::string& name : names) {
    const bool of_run = name == record.copy_base ||
                        (name.starts_with(record.copy_base + "-") &&
                         AllDigits(std::string_view(name).substr(record.copy_base.size() + 1)));
    if (!of_run || name == record.copy_name) continue;
    FileInfo info;
    const std::filesystem::path folder = copies / name;
    if (!env.LinkInfo(folder, &info).ok() || !info.IsFolder()) continue;
    if (NameExists(folder / kManifestName)) continue;
    env.RemoveTree(folder);
  }
  env.RemoveEmptyFolder(copies);
}

// Removes the temporary files a save of the exchange file cut short left
// beside it (.NAME.pontexa-XXXXXX), unless another run is saving it now.
void RemoveSaveTemporaries(const std::string& exchange_file) {
  if (exchange_file.empty()) return;
  const ExchangeFileClaim claim = ExchangeFileClaim::TryTake(exchange_file);
  if (!claim.held() && NameExists(exchange_file)) return;
  Env& env = Env::Current();
  const std::filesystem::path path(exchange_file);
  const std::string prefix = "." + path.filename().string() + ".pontexa-";
  std::vector<std::string> names;
  if (!env.List(path.parent_path(), &names).ok()) return;
  for (const std::string& name : names) {
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
    FileInfo info;
    const std::filesystem::path leftover = path.parent_path() / name;
    if (env.LinkInfo(leftover, &info).ok() && info.IsRegular()) env.Remove(leftover);
  }
}

void RemoveRecord(const std::filesystem::path& table_folder) {
  Env& env = Env::Current();
  if (Status status = env.Remove(RecordPath(table_folder));
      !status && status.code() != Status::Code::kNotFound) {
    throw Error(messages::CannotRemove(RecordPath(table_folder).string()));
  }
  env.SyncFolder(table_folder);
}

bool IsRestore(const RunRecord& record) { return record.made_by == kMadeByRestore; }

// A run that replaced the exchange file: nothing to restore, as its save
// replaces the file whole. Says which file is there.
std::string PutRightExchangeFile(const std::filesystem::path& table_folder,
                                 const RunRecord& record) {
  RemoveSaveTemporaries(record.exchange_file);
  RemoveUnfinishedCopies(table_folder, record);
  bool old = true;
  if (record.copy_made) {
    if (record.copied.empty()) {
      old = !NameExists(record.exchange_file);
    } else {
      FileDigest digest;
      try {
        digest = DigestOfFile(record.exchange_file);
      } catch (const Error&) {
      }
      old = digest.size == record.copied.front().size &&
            digest.sha256 == record.copied.front().sha256;
    }
  }
  RemoveRecord(table_folder);
  return old ? messages::ExchangeFileKeptOld(IsRestore(record), record.time, record.exchange_file)
             : messages::ExchangeFileIsNew(IsRestore(record), record.time, record.exchange_file);
}

std::string PutRightTables(const std::filesystem::path& table_folder, const RunRecord& record) {
  const bool restore = IsRestore(record);
  RemoveUnfinishedCopies(table_folder, record);
  if (!record.copy_made) {
    // Cut short while copying: no table was touched.
    RemoveRecord(table_folder);
    return messages::TablesPutRight(restore, record.time);
  }
  const std::string copies = CopiesFolder(table_folder).string();
  // Tables changed after the run's last step were used since: left alone.
  const SavedCopy last_known = CopyOfRecord(record, record.last_known);
  if (!TablesAs(table_folder, last_known, record.writing)) {
    RemoveRecord(table_folder);
    return messages::TablesUsedSince(restore, record.time, record.copy_name, copies);
  }
  SavedCopy copy = CopyOfRecord(record, record.copied);
  bool copy_whole = record.copy_name.empty();
  if (!copy_whole) {
    const std::optional<SavedCopy> found = FindCopy(table_folder, record.copy_name);
    if (found && found->manifest.holds_tables && SameFiles(found->manifest.files, record.copied)) {
      copy.folder = found->folder;
      copy_whole = true;
    }
  }
  const auto refuse = [&](const std::string& reason) {
    if (record.copy_name.empty()) {
      throw Error(messages::CannotPutRightNoCopy(restore, record.time, reason));
    }
    throw Error(messages::CannotPutRight(restore, record.time, reason, record.copy_name, copies));
  };
  if (!TablesAs(table_folder, copy)) {
    if (!copy_whole) {
      try {
        refuse(messages::CopyOfRunMissing(record.copy_name));
      } catch (const Error& error) {
        throw Error(error.what() + messages::RemoveRecordToGoOn(RecordPath(table_folder).string()));
      }
    }
    try {
      RestoreTables(copy, table_folder, /*only_changed=*/true);
    } catch (const Error& error) {
      refuse(AsReason(error.what()));
    }
    if (!TablesAs(table_folder, copy)) refuse(messages::SomeTableNotAsItWas());
  }
  RemoveRecord(table_folder);
  return messages::TablesPutRight(restore, record.time);
}

}  // namespace

std::string RunRecordText(const RunRecord& record) {
  std::string text = std::string(kFirstLine) + "\n";
  text += "ejecucion: " + PercentEscaped(record.made_by) + "\n";
  text += std::string("contenido: ") + (record.tables ? "tablas" : "archivo-xml") + "\n";
  text += "hora: " + PercentEscaped(record.time) + "\n";
  text += "carpeta-copia: " + PercentEscaped(record.copy_base) + "\n";
  text += "proceso: " + std::to_string(record.process) + "\n";
  text += "archivo-xml: " + PercentEscaped(record.exchange_file) + "\n";
  text += "tablas:";
  for (const std::string& table : record.table_names) {
    text += ' ';
    text += PercentEscaped(table);
  }
  text += "\n";
  if (record.copy_made) {
    text += "copia: ";
    text += record.copy_name.empty() ? std::string("-") : PercentEscaped(record.copy_name);
    text += "\n";
    for (const CopiedFile& file : record.copied) text += "copiado: " + FileLine(file) + "\n";
    for (const CopiedFile& file : record.last_known) text += "estado: " + FileLine(file) + "\n";
  }
  if (!record.writing.empty()) text += "escribiendo: " + PercentEscaped(record.writing) + "\n";
  text += std::string(kLastLine) + "\n";
  return text;
}

namespace {

// Reads one line between the first and the last into the record; false when
// it cannot be read. `kind_seen` is set by the line that says what the copy holds.
bool ReadRecordLine(std::string_view line, RunRecord& record, bool& kind_seen) {
  const std::size_t colon = line.find(": ");
  const std::string_view key = line.substr(0, colon == std::string_view::npos ? 0 : colon);
  const std::string_view raw =
      colon == std::string_view::npos ? line.substr(line.size()) : line.substr(colon + 2);
  if (key == "tablas" || line == "tablas:") {
    for (const std::string_view word : Words(line.substr(7))) {
      const std::optional<std::string> table = PercentUnescaped(word);
      if (!table || !IsTableName(*table)) return false;
      record.table_names.push_back(*table);
    }
    return true;
  }
  if (colon == std::string_view::npos) return false;
  if (key == "copiado" || key == "estado") {
    const std::optional<CopiedFile> file = ParseFileLine(raw);
    if (!file) return false;
    (key == "copiado" ? record.copied : record.last_known).push_back(*file);
    return true;
  }
  const std::optional<std::string> value = PercentUnescaped(raw);
  if (!value) return false;
  if (key == "ejecucion") {
    record.made_by = *value;
  } else if (key == "contenido") {
    if (*value != "tablas" && *value != "archivo-xml") return false;
    record.tables = *value == "tablas";
    kind_seen = true;
  } else if (key == "hora") {
    record.time = *value;
  } else if (key == "carpeta-copia") {
    record.copy_base = *value;
  } else if (key == "proceso") {
    const auto [ptr, error] =
        std::from_chars(value->data(), value->data() + value->size(), record.process);
    if (error != std::errc() || ptr != value->data() + value->size()) return false;
  } else if (key == "archivo-xml") {
    record.exchange_file = *value;
  } else if (key == "copia") {
    record.copy_made = true;
    record.copy_name = *value == "-" ? "" : *value;
    if (record.copy_name.find('/') != std::string::npos || record.copy_name == "." ||
        record.copy_name == "..") {
      return false;
    }
  } else if (key == "escribiendo") {
    record.writing = *value;
  } else {
    return false;
  }
  return true;
}

// Whether what the lines said holds together: every file belongs to a table
// of the run (or, for the exchange file, to none), the table being written is
// one of them, and the copy's folder is named by its time.
bool HoldsTogether(const RunRecord& record) {
  for (const auto* files : {&record.copied, &record.last_known}) {
    for (const CopiedFile& file : *files) {
      const bool listed = std::find(record.table_names.begin(), record.table_names.end(),
                                    file.table) != record.table_names.end();
      if (record.tables ? !listed : !file.table.empty()) return false;
    }
  }
  if (record.writing != "" && record.writing != kAllTables &&
      std::find(record.table_names.begin(), record.table_names.end(), record.writing) ==
          record.table_names.end()) {
    return false;
  }
  const std::string_view base = record.copy_base;
  return base.empty() || (base.size() == 15 && base[8] == '-' && AllDigits(base.substr(0, 8)) &&
                          AllDigits(base.substr(9)));
}

}  // namespace

std::optional<RunRecord> ParseRunRecord(std::string_view text) {
  RunRecord record;
  bool first = true;
  bool ended = false;
  bool kind_seen = false;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (ended) return std::nullopt;
    if (first) {
      if (line != kFirstLine) return std::nullopt;
      first = false;
    } else if (line == kLastLine) {
      ended = true;
    } else if (!ReadRecordLine(line, record, kind_seen)) {
      return std::nullopt;
    }
  }
  if (!ended || !kind_seen || record.made_by.empty()) return std::nullopt;
  if (!HoldsTogether(record)) return std::nullopt;
  return record;
}

UnfinishedRun::UnfinishedRun(const std::filesystem::path& table_folder, std::string made_by,
                             bool tables, std::time_t now, std::vector<std::string> table_names,
                             std::string exchange_file)
    : table_folder_(table_folder) {
  record_.made_by = std::move(made_by);
  record_.tables = tables;
  record_.time = LocalTime(now, "%Y-%m-%d %H:%M");
  record_.copy_base = LocalTime(now, "%Y%m%d-%H%M%S");
  record_.process = Env::Current().ThisProcess();
  record_.exchange_file = std::move(exchange_file);
  record_.table_names = std::move(table_names);
  active_ = true;
  try {
    Save();
  } catch (const Error&) {
    active_ = false;
    // A folder the user may not change: the run fails there on its own terms.
    Status writable = Env::Current().CheckWritable(table_folder_);
    if (!writable.IsAccessProblem()) throw;
  }
}

UnfinishedRun::~UnfinishedRun() {
  if (!active_) return;
  try {
    if (!record_.tables || !record_.copy_made ||
        TablesAs(table_folder_, CopyOfRecord(record_, record_.copied))) {
      RemoveRecord(table_folder_);
    }
  } catch (...) {
    // The record stays; the next run puts the folder right.
  }
}

void UnfinishedRun::CopyMade(const SavedCopy& copy) {
  if (!active_) return;
  record_.copy_made = true;
  record_.copy_name = copy.written() ? copy.name : "";
  record_.copied = copy.manifest.files;
  record_.last_known = copy.manifest.files;
  Save();
}

void UnfinishedRun::NoteWritten() {
  if (record_.writing.empty()) return;
  const bool all = record_.writing == kAllTables;
  const std::vector<std::string> written =
      all ? record_.table_names : std::vector<std::string>{record_.writing};
  for (const std::string& table : written) SyncTable(table_folder_, table);
  if (Status status = Env::Current().SyncFolder(table_folder_); !status) {
    throw Error(messages::CannotWrite(table_folder_.string(), status.text()));
  }
  std::erase_if(record_.last_known,
                [&](const CopiedFile& file) { return all || file.table == record_.writing; });
  for (const std::string& table : written) {
    for (CopiedFile& file : TableFilesNow(table_folder_, table)) {
      record_.last_known.push_back(std::move(file));
    }
  }
  record_.writing.clear();
}

void UnfinishedRun::WritingAll() { Writing(kAllTables); }

void UnfinishedRun::PuttingBack() noexcept {
  if (!active_ || !record_.copy_made) return;
  try {
    record_.writing = kAllTables;
    Save();
  } catch (...) {
    // The record as it was still names the copy.
  }
}

void UnfinishedRun::Writing(const std::string& table) {
  if (!active_) return;
  NoteWritten();
  record_.writing = table;
  Save();
}

void UnfinishedRun::Done() {
  if (!active_) return;
  NoteWritten();
  if (Status status = Env::Current().SyncFolder(table_folder_); !status) {
    throw Error(messages::CannotWrite(table_folder_.string(), status.text()));
  }
  RemoveRecord(table_folder_);
  active_ = false;
  done_ = true;
}

const std::vector<CopiedFile>* UnfinishedRun::TablesLeft() const {
  return done_ && record_.tables && record_.copy_made ? &record_.last_known : nullptr;
}

void UnfinishedRun::Save() {
  Env& env = Env::Current();
  const std::filesystem::path path = RecordPath(table_folder_);
  const std::filesystem::path temporary = RecordTemporary(table_folder_);
  const auto fail = [&](const Status& status) {
    env.Remove(temporary);
    throw Error(messages::CannotWriteRunRecord(path.string(), status.text()));
  };
  std::unique_ptr<File> out;
  Status status = env.Open(temporary, {OpenMode::kReplace, /*no_wait=*/true}, &out);
  if (!status) {
    // Something else with that name (a link): gone, then one more try.
    env.Remove(temporary);
    status = env.Open(temporary, {OpenMode::kReplace, /*no_wait=*/true}, &out);
  }
  if (!status) fail(status);
  FileInfo info;
  if (!out->Info(&info).ok() || !info.IsRegular()) {
    fail(Status(Status::Code::kOther, pontexa::messages::NotARegularFile()));
  }
  status = out->Append(RunRecordText(record_));
  if (status) status = out->Sync();
  const Status closed = out->Close();
  if (status) status = closed;
  if (!status) fail(status);
  if (status = env.Rename(temporary, path); !status) fail(status);
  if (status = env.SyncFolder(table_folder_); !status) {
    throw Error(messages::CannotWriteRunRecord(path.string(), status.text()));
  }
}

std::string PutRightUnfinishedRun(const std::filesystem::path& table_folder) {
  RemoveTemporaries(table_folder);
  const std::optional<RunRecord> record = ReadRunRecord(table_folder);
  if (!record) return "";
  return record->tables ? PutRightTables(table_folder, *record)
                        : PutRightExchangeFile(table_folder, *record);
}

std::string UnfinishedRunNotice(const std::filesystem::path& table_folder) {
  try {
    const std::optional<RunRecord> record = ReadRunRecord(table_folder);
    if (!record) return "";
    return messages::UnfinishedRunWaiting(IsRestore(*record), record->time);
  } catch (const Error& error) {
    return error.what();
  }
}

std::string PutRightAtStartUp(const std::filesystem::path& table_folder, bool* error) {
  *error = false;
  try {
    const FolderClaim claim = FolderClaim::Take(table_folder, HoldKind::kExclusive);
    if (!claim.exclusive()) return "";
    return PutRightUnfinishedRun(table_folder);
  } catch (const ClaimRefused&) {
    // Another run holds the folder: its record is not stale.
    return "";
  } catch (const Error& failure) {
    *error = true;
    return failure.what();
  }
}

}  // namespace pontexa::run
