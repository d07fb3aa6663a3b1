#include "run/saved_timetable.h"

#include <charconv>
#include <exception>
#include <memory>
#include <new>
#include <unordered_map>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/percent_escape.h"
#include "run/messages.h"
#include "run/saved_copies.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"

namespace pontexa::run {

namespace field = tables::field;

namespace {

// One catalogue whose codes SOLUC uses.
struct CatalogueSpec {
  const char* table;
  const char* code_field;   // in the catalogue
  const char* soluc_field;  // in SOLUC, and the catalogue's word in the record file
  const char* element;      // the exchange file's element the code stands for
  messages::CodeOwnerWords words;
};

// In the order of CodeCatalogue.
const CatalogueSpec kCatalogues[kCodeCatalogues] = {
    {tables::kAsignomt,
     field::kCod,
     field::kAsig,
     "subject",
     {"de la asignatura", "ninguna asignatura"}},
    {tables::kGrupost, field::kAbrev, field::kCodGrupo, "group", {"del grupo", "ningún grupo"}},
    {tables::kProft, field::kAbrev, field::kProf, "teacher", {"del profesor", "ningún profesor"}},
    {tables::kAulat, field::kAbrev, field::kAula, "location", {"del aula", "ningún aula"}},
};

constexpr char kRecordHeading[] = "pontexa codigos-movidos 1";
// A record is a few lines per moved code: anything much larger is not one.
constexpr std::uint64_t kLargestRecord = 1 << 20;

// Only the text fields are read: the decimal separator plays no part.
tables::TableStore StoreOf(const std::filesystem::path& table_folder) {
  return tables::TableStore(table_folder, RegionalSettings{});
}

bool TableExists(const tables::TableStore& store, const char* table) {
  return IsExistingFile(store.TablePath(table));
}

// The element each code names: the first row with that code, as the lookups
// of the Horaplan-to-GEDU run take it. Raises Error when the table exists but
// cannot be read; a table that does not exist names nothing.
std::unordered_map<std::string, CodeOwner> OwnersIn(const tables::TableStore& store,
                                                    const CatalogueSpec& spec) {
  std::unordered_map<std::string, CodeOwner> owners;
  if (!TableExists(store, spec.table)) return owners;
  tables::Table table(store, spec.table);
  table.OpenTableReadOnly();
  const tables::TextColumn codes = table.TextsOf(spec.code_field);
  if (codes.empty()) return owners;
  const tables::TextColumn ids = table.TextsOf(field::kIdGedu);
  const bool group = spec.table == tables::kGrupost;
  // A group's name is kept cut into its parts.
  std::vector<tables::TextColumn> names;
  if (group) {
    for (const char* part : {field::kCurso, field::kNivel, field::kGrupo}) {
      names.push_back(table.TextsOf(part));
    }
  } else {
    names.push_back(table.TextsOf(field::kNombre));
  }
  for (std::size_t row = 0; row < codes.size(); ++row) {
    if (owners.contains(codes[row])) continue;
    CodeOwner owner;
    owner.idgedu = ids[row];
    for (const tables::TextColumn& part : names) {
      if (part[row].empty()) continue;
      if (!owner.name.empty()) owner.name += ' ';
      owner.name += part[row];
    }
    owners.emplace(codes[row], std::move(owner));
  }
  table.CloseTable();
  return owners;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t at = line.find(separator); at != std::string_view::npos;
       at = line.find(separator, start)) {
    parts.push_back(line.substr(start, at - start));
    start = at + 1;
  }
  parts.push_back(line.substr(start));
  return parts;
}

std::filesystem::path RecordPath(const std::filesystem::path& table_folder) {
  return table_folder / kMovedCodesFileName;
}

// The record in the folder, or nothing when there is none or it is not one: a
// symbolic link, something other than a file, too large, or not a record.
std::optional<MovedCodesRecord> ReadRecord(const std::filesystem::path& table_folder) {
  const std::filesystem::path path = RecordPath(table_folder);
  FileInfo info;
  std::string text;
  if (!Env::Current().LinkInfo(path, &info).ok() || info.kind != FileInfo::Kind::kRegular ||
      !ReadWholeFile(path.string(), &text, kLargestRecord).ok()) {
    return std::nullopt;
  }
  return ParseMovedCodes(text);
}

// Replaces the record so that it is wholly the old one or wholly the new one,
// never writing through a symbolic link left with its name. False when it
// cannot be written.
bool WriteRecord(const std::filesystem::path& table_folder, const MovedCodesRecord& record) {
  Env& env = Env::Current();
  const std::filesystem::path path = RecordPath(table_folder);
  const std::filesystem::path temporary = table_folder / ("~" + std::string(kMovedCodesFileName));
  std::unique_ptr<File> out;
  if (!env.Open(temporary, {OpenMode::kReplace}, &out).ok()) {
    env.Remove(temporary);
    if (!env.Open(temporary, {OpenMode::kReplace}, &out).ok()) return false;
  }
  bool written = out->Append(MovedCodesText(record)).ok() && out->Sync().ok();
  if (!out->Close().ok()) written = false;
  if (!written || !env.Rename(temporary, path).ok()) {
    env.Remove(temporary);
    return false;
  }
  env.SyncFolder(table_folder);
  return true;
}

// The digest of SOLUC as it is now; nothing when it cannot be read.
std::optional<FileDigest> SolucDigest(const tables::TableStore& store) {
  try {
    return DigestOfFile(store.TablePath(tables::kSoluc));
  } catch (const Error&) {
    return std::nullopt;
  }
}

// The reason of the error being handled, for a sentence of ours.
std::string CurrentReason() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return AsReason(messages::OutOfMemory());
  } catch (const std::exception& error) {
    return AsReason(error.what());
  } catch (...) {
    return AsReason(messages::InternalError("?"));
  }
}

}  // namespace

bool CodeOwner::SameElement(const CodeOwner& other) const {
  // Without an id on either side, the name is all there is to go by.
  if (idgedu.empty() && other.idgedu.empty()) return name == other.name;
  return idgedu == other.idgedu;
}

std::string MovedCodesText(const MovedCodesRecord& record) {
  std::string text = std::string(kRecordHeading) + "\n";
  text += "SOLUC\t" + std::to_string(record.soluc.size) + "\t" + record.soluc.sha256 + "\n";
  for (const MovedCodesRecord::Entry& entry : record.moved) {
    text += std::string(kCatalogues[static_cast<std::size_t>(entry.catalogue)].soluc_field) + "\t" +
            PercentEscaped(entry.code) + "\t" + PercentEscaped(entry.before.idgedu) + "\t" +
            PercentEscaped(entry.before.name) + "\n";
  }
  return text;
}

std::optional<MovedCodesRecord> ParseMovedCodes(std::string_view text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;  // cut short
  std::vector<std::string_view> lines = Split(text.substr(0, text.size() - 1), '\n');
  if (lines.size() < 2 || lines[0] != kRecordHeading) return std::nullopt;
  MovedCodesRecord record;
  const std::vector<std::string_view> soluc = Split(lines[1], '\t');
  if (soluc.size() != 3 || soluc[0] != "SOLUC" || soluc[2].size() != 64) return std::nullopt;
  const auto [end, error] =
      std::from_chars(soluc[1].data(), soluc[1].data() + soluc[1].size(), record.soluc.size);
  if (error != std::errc() || end != soluc[1].data() + soluc[1].size() || soluc[1].empty()) {
    return std::nullopt;
  }
  for (const char c : soluc[2]) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
  }
  record.soluc.sha256 = std::string(soluc[2]);
  for (std::size_t i = 2; i < lines.size(); ++i) {
    const std::vector<std::string_view> parts = Split(lines[i], '\t');
    if (parts.size() != 4) return std::nullopt;
    std::size_t catalogue = 0;
    while (catalogue < kCodeCatalogues && parts[0] != kCatalogues[catalogue].soluc_field) {
      ++catalogue;
    }
    std::optional<std::string> code = PercentUnescaped(parts[1]);
    std::optional<std::string> idgedu = PercentUnescaped(parts[2]);
    std::optional<std::string> name = PercentUnescaped(parts[3]);
    if (catalogue == kCodeCatalogues || !code || code->empty() || !idgedu || !name) {
      return std::nullopt;
    }
    record.moved.push_back({static_cast<CodeCatalogue>(catalogue), std::move(*code),
                            CodeOwner{std::move(*idgedu), std::move(*name)}});
  }
  return record;
}

SavedTimetableCodes::SavedTimetableCodes(std::filesystem::path table_folder)
    : table_folder_(std::move(table_folder)) {
  try {
    const tables::TableStore store = StoreOf(table_folder_);
    if (!TableExists(store, tables::kSoluc)) return;
    has_timetable_ = true;
    soluc_ = DigestOfFile(store.TablePath(tables::kSoluc));
    // SOLUC as it was when it was saved: what the last rebuild recorded for
    // this very SOLUC, else the catalogues it was computed from, those in the
    // folder now.
    std::optional<MovedCodesRecord> record = ReadRecord(table_folder_);
    if (record && !(record->soluc == soluc_)) record.reset();
    tables::Table soluc(store, tables::kSoluc);
    soluc.OpenTableReadOnly();
    for (std::size_t c = 0; c < kCodeCatalogues; ++c) {
      const tables::TextColumn column = soluc.TextsOf(kCatalogues[c].soluc_field);
      std::vector<UsedCode> used(column.DistinctCount());
      for (std::size_t row = 0; row < column.size(); ++row) {
        UsedCode& code = used[column.NumberAt(row)];
        if (code.lessons++ == 0) code.code = column[row];
      }
      const auto owners = OwnersIn(store, kCatalogues[c]);
      for (std::size_t n = 0; n < used.size(); ++n) {
        if (used[n].code.empty()) continue;
        if (auto owner = owners.find(used[n].code); owner != owners.end()) {
          used[n].before = owner->second;
        }
        if (record) {
          for (const MovedCodesRecord::Entry& entry : record->moved) {
            if (static_cast<std::size_t>(entry.catalogue) == c && entry.code == used[n].code) {
              used[n].before = entry.before;
            }
          }
        }
        used_[c].push_back(std::move(used[n]));
      }
    }
    soluc.CloseTable();
  } catch (...) {
    unreadable_ = CurrentReason();
  }
}

void SavedTimetableCodes::CompareWithCatalogues(Findings& findings) const {
  std::string reason = unreadable_;
  MovedCodesRecord record;
  record.soluc = soluc_;
  if (has_timetable_ && reason.empty()) {
    try {
      const tables::TableStore store = StoreOf(table_folder_);
      for (std::size_t c = 0; c < kCodeCatalogues; ++c) {
        const CatalogueSpec& spec = kCatalogues[c];
        const auto owners = OwnersIn(store, spec);
        for (const UsedCode& used : used_[c]) {
          if (!used.before) continue;  // named nothing: no element to lose
          const auto now = owners.find(used.code);
          if (now != owners.end() && now->second.SameElement(*used.before)) continue;
          const CodeOwner* after = now != owners.end() ? &now->second : nullptr;
          findings.Add(
              {"code-moved", spec.table, spec.code_field, spec.element, FindingText(used.code),
               messages::CodeMoved(FindingText(used.code), spec.words,
                                   FindingText(used.before->name), FindingText(used.before->idgedu),
                                   after != nullptr ? FindingText(after->name) : std::string(),
                                   after != nullptr ? FindingText(after->idgedu) : std::string(),
                                   after != nullptr, used.lessons)});
          record.moved.push_back({static_cast<CodeCatalogue>(c), used.code, *used.before});
        }
      }
    } catch (...) {
      reason = CurrentReason();
      record.moved.clear();
    }
  }
  if (has_timetable_ && !reason.empty()) {
    findings.Add({"timetable-not-checked", tables::kSoluc, "", "", "SOLUC",
                  messages::TimetableNotChecked(reason)});
  }
  // The record is what tells Horaplan-to-GEDU that SOLUC is older than the
  // catalogues: it holds what this rebuild found and nothing older, so with
  // nothing found (or no SOLUC at all) it goes.
  if (record.moved.empty() || !WriteRecord(table_folder_, record)) {
    Env::Current().Remove(RecordPath(table_folder_));
  }
}

void CheckTimetableNotOlderThanCatalogues(const std::filesystem::path& table_folder,
                                          Findings& findings) {
  try {
    const std::optional<MovedCodesRecord> record = ReadRecord(table_folder);
    if (!record || record->moved.empty()) return;
    const std::optional<FileDigest> soluc = SolucDigest(StoreOf(table_folder));
    if (!soluc || !(*soluc == record->soluc)) return;  // saved since
    std::vector<messages::MovedCode> codes;
    for (const MovedCodesRecord::Entry& entry : record->moved) {
      codes.push_back({FindingText(entry.code),
                       kCatalogues[static_cast<std::size_t>(entry.catalogue)].words.of,
                       FindingText(entry.before.name)});
    }
    findings.Add({"timetable-older-than-catalogue", tables::kSoluc, "", "", "SOLUC",
                  messages::TimetableOlderThanCatalogue(codes)});
  } catch (...) {
    // The check only warns: a record that cannot be made sense of counts as none.
  }
}

}  // namespace pontexa::run
