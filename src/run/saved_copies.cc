#include "run/saved_copies.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>

#include "platform/case_variants.h"
#include "platform/error.h"
#include "platform/file_copy.h"
#include "platform/file_io.h"
#include "platform/local_time.h"
#include "run/messages.h"
#include "tables/table_file.h"
#include "tables/table_files.h"

namespace pontexa::run {
namespace {

// The manifest is written under this name, then renamed to kManifestName.
constexpr char kManifestTemporaryName[] = "manifiesto.txt.tmp";

// The number the next copy gets: one above every copy's there.
std::uint64_t NextSequence(const std::filesystem::path& table_folder) {
  std::uint64_t highest = 0;
  for (const SavedCopy& copy : ListCopies(table_folder)) {
    highest = std::max(highest, copy.manifest.sequence);
  }
  return highest == UINT64_MAX ? highest : highest + 1;
}

// Creates the copies folder when needed and a new, empty folder for one copy.
SavedCopy NewCopyFolder(const CopyRequest& request) {
  Env& env = Env::Current();
  const std::filesystem::path copies = CopiesFolder(request.table_folder);
  const std::uint64_t sequence = NextSequence(request.table_folder);
  if (Status status = env.MakeFolder(copies); !status && status.code() != Status::Code::kExists) {
    throw Error(messages::CannotMakeFolder(copies.string(), status.text()));
  }
  const std::string base = LocalTime(request.now, "%Y%m%d-%H%M%S");
  for (int number = 1; number < 1000; ++number) {
    const std::string name = number == 1 ? base : base + "-" + std::to_string(number);
    const std::filesystem::path folder = copies / name;
    const Status status = env.MakeFolder(folder);
    if (status) {
      SavedCopy copy;
      copy.name = name;
      copy.folder = folder;
      copy.manifest.sequence = sequence;
      copy.manifest.made_by = request.made_by;
      copy.manifest.restored = request.restored;
      copy.manifest.time = LocalTime(request.now, "%Y-%m-%d %H:%M:%S");
      copy.manifest.exchange_file = request.exchange_file;
      copy.manifest.table_folder = request.table_folder.string();
      return copy;
    }
    if (status.code() != Status::Code::kExists) {
      throw Error(messages::CannotMakeFolder(folder.string(), status.text()));
    }
  }
  throw Error(messages::TooManyCopiesThisSecond(copies.string()));
}

// Removes a copy folder that is being written unless it was completed.
class CopyInProgress {
 public:
  explicit CopyInProgress(const SavedCopy& copy) : copy_(copy) {}
  ~CopyInProgress() {
    if (!done_) RemoveCopy(copy_);
  }
  CopyInProgress(const CopyInProgress&) = delete;
  CopyInProgress& operator=(const CopyInProgress&) = delete;

  // Copies a table's file (`table` names the table) or, with `table` empty,
  // the exchange file: that one is only ever replaced whole, never written in
  // place, so a second name of it serves as its copy where one can be made.
  // A control character in its name becomes "_" in the copy's folder: the
  // manifest names plain files only.
  void Add(const std::filesystem::path& from, std::string table) {
    std::string name = from.filename().string();
    for (char& c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    }
    if (name == kManifestName || name == kManifestTemporaryName) {
      throw Error(messages::CannotCopyFileNamed(name));
    }
    const std::filesystem::path to = copy_.folder / name;
    const FileDigest digest =
        table.empty() ? LinkOrCopyFileWithDigest(from, to) : CopyFileWithDigest(from, to);
    copy_.manifest.files.push_back({std::move(table), name, digest.size, digest.sha256});
  }

  // Writes the manifest last, under a temporary name first, so that a copy
  // with a manifest is always whole.
  SavedCopy Finish() {
    const std::filesystem::path manifest = copy_.folder / kManifestName;
    const std::filesystem::path temporary = copy_.folder / kManifestTemporaryName;
    WriteNewFile(temporary, ManifestText(copy_.manifest));
    if (Status status = Env::Current().Rename(temporary, manifest); !status) {
      throw Error(messages::CannotWrite(manifest.string(), status.text()));
    }
    SyncFolder(copy_.folder);
    SyncFolder(copy_.folder.parent_path());
    done_ = true;
    return copy_;
  }

  SavedCopy& copy() { return copy_; }

 private:
  SavedCopy copy_;
  bool done_ = false;
};

// The running number of a folder name (1 without a "-N" suffix).
int SuffixOf(const std::string& name) {
  const std::size_t dash = name.rfind('-');
  if (dash == std::string::npos || dash < 9) return 1;
  int number = 1;
  const auto [end, error] =
      std::from_chars(name.data() + dash + 1, name.data() + name.size(), number);
  return error == std::errc() && end == name.data() + name.size() ? number : 1;
}

// The whole text of a manifest; nothing when it cannot be read or is too large
// to be one (manifests are small).
std::optional<std::string> ReadManifestText(const std::filesystem::path& path) {
  constexpr std::uint64_t kMostBytes = 1 << 20;
  std::string text;
  if (!ReadWholeFile(path.string(), &text, kMostBytes).ok()) return std::nullopt;
  return text;
}

std::optional<SavedCopy> ReadCopy(const std::filesystem::path& folder) {
  // A copy is a folder of its own, never a symbolic link to one.
  FileInfo info;
  if (!Env::Current().LinkInfo(folder, &info).ok() || !info.IsFolder()) return std::nullopt;
  const std::optional<std::string> text = ReadManifestText(folder / kManifestName);
  if (!text) return std::nullopt;
  std::optional<CopyManifest> manifest = ParseManifest(*text);
  if (!manifest) return std::nullopt;
  SavedCopy copy;
  copy.name = folder.filename().string();
  copy.folder = folder;
  copy.manifest = std::move(*manifest);
  return copy;
}

}  // namespace

std::filesystem::path CopiesFolder(const std::filesystem::path& table_folder) {
  return table_folder / kCopiesFolderName;
}

bool IsCopyName(std::string_view name) {
  // AAAAMMDD-HHMMSS: 15 characters, then "-N" with N from 2, no leading zero.
  const auto digits = [&name](std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
      if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
  };
  if (name.size() < 15 || !digits(0, 8) || name[8] != '-' || !digits(9, 6)) return false;
  if (name.size() == 15) return true;
  const std::string_view number = name.substr(16);
  return name[15] == '-' && !number.empty() && number.size() <= 3 && number[0] != '0' &&
         digits(16, number.size()) && number != "1";
}

void CheckNoTableFileTwice(const std::filesystem::path& table_folder,
                           const std::vector<std::string>& tables) {
  // A .cpg has no twin problem: the runs replace every variant of it with
  // one of their own, and no reader of the tables takes it.
  for (const std::string& table : tables) {
    for (const char* extension : {".DBF", ".MDX"}) {
      const std::vector<std::filesystem::path> variants =
          CaseVariants(table_folder, table + extension);
      if (variants.size() > 1) {
        throw Error(messages::TableFileTwice(variants[0].string(), variants[1].string()));
      }
    }
  }
}

std::vector<CopiedFile> TableFilesNow(const std::filesystem::path& table_folder,
                                      const std::string& table) {
  std::vector<CopiedFile> files;
  for (const auto& path : tables::TableFilesOf(table_folder, table)) {
    const FileDigest digest = DigestOfFile(path);
    files.push_back({table, path.filename().string(), digest.size, digest.sha256});
  }
  return files;
}

void CheckTablesNotHeld(const std::filesystem::path& table_folder,
                        const std::vector<std::string>& tables, const OpenFileScan& others) {
  for (const std::string& table : tables) {
    for (const auto& file : tables::TableFilesOf(table_folder, table)) {
      tables::CheckNotHeld(file, others);
    }
  }
}

SavedCopy CopyTables(const CopyRequest& request, const std::vector<std::string>& tables,
                     bool even_if_empty) {
  CheckNoTableFileTwice(request.table_folder, tables);
  bool any_file = false;
  for (const std::string& table : tables) {
    if (!tables::TableFilesOf(request.table_folder, table).empty()) any_file = true;
  }
  if (!any_file && !even_if_empty) {
    SavedCopy nothing;
    nothing.manifest.made_by = request.made_by;
    nothing.manifest.table_folder = request.table_folder.string();
    nothing.manifest.exchange_file = request.exchange_file;
    nothing.manifest.tables = tables;
    return nothing;
  }
  CopyInProgress copy(NewCopyFolder(request));
  copy.copy().manifest.tables = tables;
  for (const std::string& table : tables) {
    for (const auto& file : tables::TableFilesOf(request.table_folder, table)) {
      copy.Add(file, table);
    }
  }
  return copy.Finish();
}

SavedCopy CopyExchangeFile(const CopyRequest& request) {
  CopyInProgress copy(NewCopyFolder(request));
  copy.copy().manifest.holds_tables = false;
  copy.Add(request.exchange_file, "");
  return copy.Finish();
}

std::vector<SavedCopy> ListCopies(const std::filesystem::path& table_folder) {
  std::vector<SavedCopy> copies;
  const std::filesystem::path folder = CopiesFolder(table_folder);
  std::vector<std::string> names;
  if (!Env::Current().List(folder, &names).ok()) return copies;
  for (const std::string& name : names) {
    if (!IsCopyName(name)) continue;
    std::optional<SavedCopy> copy = ReadCopy(folder / name);
    if (copy && !ManifestFault(copy->manifest)) copies.push_back(std::move(*copy));
  }
  // Copies made before they were counted (sequence 0) sort as the oldest, by
  // the time they claim.
  std::sort(copies.begin(), copies.end(), [](const SavedCopy& a, const SavedCopy& b) {
    if (a.manifest.sequence != b.manifest.sequence) {
      return a.manifest.sequence > b.manifest.sequence;
    }
    if (a.manifest.time != b.manifest.time) return a.manifest.time > b.manifest.time;
    if (SuffixOf(a.name) != SuffixOf(b.name)) return SuffixOf(a.name) > SuffixOf(b.name);
    return a.name > b.name;
  });
  return copies;
}

std::optional<SavedCopy> FindCopy(const std::filesystem::path& table_folder,
                                  std::string_view name) {
  if (!IsCopyName(name)) return std::nullopt;
  return ReadCopy(CopiesFolder(table_folder) / std::string(name));
}

void PruneCopies(const std::filesystem::path& table_folder, std::string_view spared,
                 std::size_t keep) {
  const std::vector<SavedCopy> copies = ListCopies(table_folder);
  // The spared copy counts among those kept, wherever it sorts.
  std::size_t kept = std::any_of(copies.begin(), copies.end(),
                                 [&](const SavedCopy& copy) { return copy.name == spared; })
                         ? 1
                         : 0;
  for (const SavedCopy& copy : copies) {
    if (copy.name == spared) continue;
    if (kept < keep) {
      ++kept;
      continue;
    }
    RemoveCopy(copy);
  }
}

std::string AsReason(std::string message) {
  for (const char* word : {"No ", "La ", "El ", "Un ", "Una "}) {
    if (message.starts_with(word)) message[0] = static_cast<char>(message[0] - 'A' + 'a');
  }
  return message;
}

void RemoveCopy(const SavedCopy& copy) {
  if (!copy.written()) return;
  Env& env = Env::Current();
  // Only names the manifest may name: a planted "../x" is never removed.
  if (!ManifestFault(copy.manifest)) {
    for (const CopiedFile& file : copy.manifest.files) env.Remove(copy.folder / file.name);
  }
  env.Remove(copy.folder / kManifestName);
  env.Remove(copy.folder / kManifestTemporaryName);
  env.RemoveEmptyFolder(copy.folder);
  env.RemoveEmptyFolder(copy.folder.parent_path());
}

}  // namespace pontexa::run
