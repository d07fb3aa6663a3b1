#include "tables/table_store.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/ascii.h"
#include "platform/code_page.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/numbers.h"
#include "tables/code_page_file.h"
#include "tables/dbf_format.h"
#include "tables/field_value.h"
#include "tables/messages.h"
#include "tables/record_file.h"
#include "tables/table_file.h"
#include "tables/table_files.h"
#include "tables/table_header.h"

namespace pontexa::tables {
namespace {

constexpr int kMaxTextWidth = 254;
constexpr std::size_t kMaxFields = 255;

// Table names are plain file names without extension.
std::string CheckedTableName(std::string_view table_name) {
  const bool valid =
      !table_name.empty() && table_name.size() <= 200 && table_name != "." && table_name != ".." &&
      table_name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
  if (!valid) {
    throw Error(messages::InvalidTableName(Utf8FromSystem(table_name)));
  }
  return AsciiUpper(table_name);
}

void CheckLayout(std::string_view table_name, const Layout& layout) {
  if (layout.empty()) throw Error(messages::LayoutWithoutFields(table_name));
  if (layout.size() > kMaxFields) throw Error(messages::LayoutWithTooManyFields(table_name));
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const FieldLayout& field = layout[i];
    const std::string& name = field.name;
    const bool name_ok = !name.empty() && name.size() <= 10 && name[0] >= 'A' && name[0] <= 'Z' &&
                         std::all_of(name.begin(), name.end(), [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
                         });
    if (!name_ok) {
      throw Error(messages::LayoutWithInvalidFieldName(table_name, Utf8FromSystem(name)));
    }
    if (field.type == FieldType::kText && (field.width < 1 || field.width > kMaxTextWidth)) {
      throw Error(messages::LayoutWithInvalidWidth(table_name, name));
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (layout[j].name == name) throw Error(messages::LayoutRepeatsField(table_name, name));
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TableStore

TableStore::TableStore(std::filesystem::path table_folder, RegionalSettings regional)
    : table_folder_(std::move(table_folder)),
      regional_(regional),
      open_files_(Env::Current().NewOpenFileScan()) {}

std::filesystem::path TableStore::TablePath(std::string_view table_name) const {
  const std::string file_name = CheckedTableName(table_name) + ".DBF";
  std::vector<std::filesystem::path> found = CaseVariants(table_folder_, file_name);
  return found.empty() ? table_folder_ / file_name : found.front();
}

void TableStore::CheckNotHeld(std::string_view table_name) const {
  const std::string name = CheckedTableName(table_name);
  for (const auto& file : TableFilesOf(table_folder_, name))
    tables::CheckNotHeld(file, *open_files_);
}

void TableStore::DropTableFiles(std::string_view table_name) const {
  const std::string name = CheckedTableName(table_name);
  const std::vector<std::filesystem::path> files = TableFilesOf(table_folder_, name);
  // Nothing is deleted while any of the files is held.
  for (const auto& file : files) tables::CheckNotHeld(file, *open_files_);
  for (const auto& file : files) {
    if (!IsCodePageFile(file)) DeleteUnlessHeld(file, *open_files_);
  }
  // The code-page side file goes with the table; while a table file that could
  // not be deleted is still there, it still describes that file.
  if (CaseVariants(table_folder_, name + ".DBF").empty()) RemoveCodePageFiles(table_folder_, name);
}

void TableStore::MakeEmptyTable(std::string_view table_name, const Layout& layout) const {
  const std::string name = CheckedTableName(table_name);
  CheckLayout(name, layout);
  CheckTableFolder();
  const std::string image = NewTableImage(layout, Today());

  const std::filesystem::path target = table_folder_ / (name + ".DBF");
  const std::vector<std::filesystem::path> existing = CaseVariants(table_folder_, name + ".DBF");
  for (const auto& file : existing) tables::CheckNotHeld(file, *open_files_);

  LockedFile file = LockedFile::CreateEmpty(target, *open_files_);
  try {
    file.WriteAt(0, image);
    file.Close();
  } catch (const Error&) {
    // A header cut short by a full disk is no table, and the old one is gone
    // already: leave none rather than a file that every reader refuses.
    Env::Current().Remove(target);
    RemoveCodePageFiles(table_folder_, name);
    throw;
  }

  // The new table is the only one of its name: other spellings of the file
  // would otherwise be read in its place. Its code-page side file replaces any
  // that another program left, which would change how its text is read.
  for (const auto& other : existing) {
    if (other.filename() != target.filename()) DeleteUnlessHeld(other, *open_files_);
  }
  WriteCodePageFile(table_folder_, name);
}

void TableStore::CheckTableFolder() const {
  FileInfo info;
  if (!Env::Current().Info(table_folder_, &info).ok() || !info.IsFolder()) {
    throw Error(messages::NoTableFolder(table_folder_));
  }
}

}  // namespace pontexa::tables
