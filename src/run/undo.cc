#include "run/undo.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/file_copy.h"
#include "run/messages.h"
#include "run/restore_files.h"
#include "run/undo_messages.h"
#include "tables/table_files.h"

namespace pontexa::run {
namespace {

std::string MadeByText(const CopyManifest& manifest) {
  if (manifest.made_by == kMadeByToHoraplan) return messages::CopyBeforeToHoraplan();
  if (manifest.made_by == kMadeByToGedu) return messages::CopyBeforeToGedu();
  return messages::CopyBeforeRestoring(messages::Visible(manifest.restored));
}

std::string ContentsText(const CopyManifest& manifest) {
  if (!manifest.holds_tables) {
    return messages::ExchangeFileHeld(messages::Visible(manifest.exchange_file));
  }
  std::string text;
  for (const std::string& table : manifest.tables) {
    if (!text.empty()) text += ", ";
    text += manifest.FilesOf(table).empty() ? messages::TableDidNotExist(table) : table;
  }
  return text;
}

}  // namespace

RunLeft NoteWhatRunLeft(const std::filesystem::path& table_folder, const SavedCopy& copy,
                        const std::string& exchange_file, const FileDigest* saved,
                        const std::vector<CopiedFile>* tables_left) {
  RunLeft left;
  left.copy_name = copy.name;
  left.tables = copy.manifest.holds_tables;
  left.exchange_file = exchange_file;
  if (left.tables) {
    left.table_names = copy.manifest.tables;
    if (tables_left != nullptr) {
      left.files = *tables_left;
      return left;
    }
    for (const std::string& table : left.table_names) {
      for (CopiedFile& file : TableFilesNow(table_folder, table))
        left.files.push_back(std::move(file));
    }
  } else {
    const FileDigest digest = saved != nullptr ? *saved : DigestOfFile(exchange_file);
    left.files.push_back(
        {"", std::filesystem::path(exchange_file).filename().string(), digest.size, digest.sha256});
  }
  return left;
}

std::vector<std::string> ChangedSince(const std::filesystem::path& table_folder,
                                      const RunLeft& left) {
  using messages::FileChange;
  std::vector<std::string> changed;
  if (!left.tables) {
    const CopiedFile& file = left.files.front();
    if (!NameExists(left.exchange_file)) {
      changed.push_back(messages::ChangedFile(messages::Visible(file.name), FileChange::kRemoved));
    } else if (!FileAsCopied(left.exchange_file, file)) {
      changed.push_back(messages::ChangedFile(messages::Visible(file.name), FileChange::kModified));
    }
    return changed;
  }
  for (const std::string& table : left.table_names) {
    const std::vector<std::filesystem::path> present = tables::TableFilesOf(table_folder, table);
    for (const CopiedFile& file : left.files) {
      if (file.table != table) continue;
      const auto found = std::find_if(present.begin(), present.end(), [&](const auto& path) {
        return path.filename().string() == file.name;
      });
      const std::string name = messages::Visible(file.name);
      if (found == present.end()) {
        changed.push_back(messages::ChangedFile(name, FileChange::kRemoved));
      } else if (!FileAsCopied(*found, file)) {
        changed.push_back(messages::ChangedFile(name, FileChange::kModified));
      }
    }
    for (const auto& path : present) {
      const std::string name = path.filename().string();
      const bool known = std::any_of(left.files.begin(), left.files.end(), [&](const auto& file) {
        return file.table == table && file.name == name;
      });
      if (!known) {
        changed.push_back(messages::ChangedFile(messages::Visible(name), FileChange::kAdded));
      }
    }
  }
  return changed;
}

CopyRow RowOf(const SavedCopy& copy) {
  CopyRow row;
  row.name = copy.name;
  row.time = messages::Visible(copy.manifest.time);
  row.made_by = MadeByText(copy.manifest);
  row.contents = ContentsText(copy.manifest);
  row.tables = copy.manifest.holds_tables;
  row.exchange_file = copy.manifest.exchange_file;
  return row;
}

std::vector<CopyRow> SavedCopyRows(const std::filesystem::path& table_folder) {
  std::vector<CopyRow> rows;
  for (const SavedCopy& copy : ListCopies(table_folder)) rows.push_back(RowOf(copy));
  return rows;
}

}  // namespace pontexa::run
