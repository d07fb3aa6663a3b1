#include "run/restore_files.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/file_copy.h"
#include "platform/file_io.h"
#include "run/messages.h"
#include "tables/table_file.h"
#include "tables/table_files.h"

namespace pontexa::run {
namespace {

// Copies beside the tables, removed unless they were moved into place.
class PreparedFiles {
 public:
  ~PreparedFiles() {
    for (const auto& [temporary, target] : files_) Env::Current().Remove(temporary);
  }

  // Writes the copied file beside its place and checks it against the manifest.
  void Prepare(const SavedCopy& copy, const std::filesystem::path& table_folder,
               const CopiedFile& file) {
    const std::filesystem::path temporary =
        table_folder /
        ("~pontexa-" + std::to_string(Env::Current().ThisProcess()) + "-" + file.name);
    Env::Current().Remove(temporary);
    const FileDigest digest = CopyFileWithDigest(copy.folder / file.name, temporary);
    files_.emplace_back(temporary, table_folder / file.name);
    if (digest.size != file.size || digest.sha256 != file.sha256) {
      throw Error(messages::DamagedCopyFile(copy.folder.string(), file.name));
    }
  }

  // Moves every prepared file onto its place, adding each name to `changed`.
  void Switch(std::vector<std::string>* changed) {
    while (!files_.empty()) {
      const auto [temporary, target] = files_.back();
      if (Status status = Env::Current().Rename(temporary, target); !status) {
        throw Error(messages::CannotRestore(target.string(), status.text()));
      }
      files_.pop_back();
      if (changed != nullptr) changed->push_back(target.filename().string());
    }
  }

 private:
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> files_;
};

}  // namespace

bool FileAsCopied(const std::filesystem::path& path, const CopiedFile& file) {
  FileInfo info;
  if (!Env::Current().Info(path, &info).ok() || info.size != file.size) return false;
  try {
    return DigestOfFile(path).sha256 == file.sha256;
  } catch (const Error&) {
    return false;
  }
}

bool TableAsInCopy(const SavedCopy& copy, const std::filesystem::path& table_folder,
                   std::string_view table) {
  const std::vector<CopiedFile> copied = copy.manifest.FilesOf(table);
  const std::vector<std::filesystem::path> present = tables::TableFilesOf(table_folder, table);
  if (present.size() != copied.size()) return false;
  for (const CopiedFile& file : copied) {
    const auto found = std::find_if(present.begin(), present.end(), [&](const auto& path) {
      return path.filename().string() == file.name;
    });
    if (found == present.end() || !FileAsCopied(*found, file)) return false;
  }
  return true;
}

void RestoreTables(const SavedCopy& copy, const std::filesystem::path& table_folder,
                   bool only_changed, std::vector<std::string>* changed) {
  std::vector<std::string> tables;
  for (const std::string& table : copy.manifest.tables) {
    if (!only_changed || !TableAsInCopy(copy, table_folder, table)) tables.push_back(table);
  }
  // Nothing is changed while another program holds one of the files.
  const std::unique_ptr<OpenFileScan> others = Env::Current().NewOpenFileScan();
  CheckTablesNotHeld(table_folder, tables, *others);
  PreparedFiles prepared;
  for (const std::string& table : tables) {
    for (const CopiedFile& file : copy.manifest.FilesOf(table)) {
      prepared.Prepare(copy, table_folder, file);
    }
  }
  // The files the copy does not hold go (a copied name is replaced by the
  // switch, so it stays until then).
  for (const std::string& table : tables) {
    const std::vector<CopiedFile> copied = copy.manifest.FilesOf(table);
    for (const auto& file : tables::TableFilesOf(table_folder, table)) {
      const bool kept = std::any_of(copied.begin(), copied.end(), [&](const CopiedFile& c) {
        return c.name == file.filename().string();
      });
      if (kept) continue;
      tables::DeleteUnlessHeld(file, *others);
      if (NameExists(file)) {
        throw Error(messages::CannotRemove(file.string()));
      }
      if (changed != nullptr) changed->push_back(file.filename().string());
    }
  }
  prepared.Switch(changed);
  SyncFolder(table_folder);
}

bool ExchangeFileAsInCopy(const SavedCopy& copy, const std::filesystem::path& path) {
  return !copy.manifest.files.empty() && FileAsCopied(path, copy.manifest.files.front());
}

bool ExchangeFileAsInCopy(const SavedCopy& copy) {
  return ExchangeFileAsInCopy(copy, copy.manifest.exchange_file);
}

void RestoreExchangeFile(const SavedCopy& copy, const std::string& path) {
  const CopiedFile& file = copy.manifest.files.front();
  const std::filesystem::path source = copy.folder / file.name;
  WriteFileAtomically(
      path,
      [&source](File* out) -> Status {
        if (out == nullptr) return Status();
        Status unwritten;
        const Status unreadable =
            ReadFileInBlocks(source.string(), [out, &unwritten](std::string_view block) {
              unwritten = out->Append(block);
              return unwritten.ok();
            });
        return !unwritten ? unwritten : unreadable;
      },
      [&file, &copy](const std::string& written) -> Status {
        if (FileAsCopied(written, file)) return Status();
        return Status(Status::Code::kOther, messages::DamagedCopy(copy.folder.string()));
      });
}

}  // namespace pontexa::run
