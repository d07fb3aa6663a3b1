#include "tables/table_files.h"

#include <string>

#include "platform/ascii.h"
#include "platform/case_variants.h"

namespace pontexa::tables {

std::vector<std::filesystem::path> TableFilesOf(const std::filesystem::path& table_folder,
                                                std::string_view table) {
  std::vector<std::string> names;
  for (const std::string_view extension : kTableFileExtensions) {
    names.push_back(std::string(table) + std::string(extension));
  }
  return CaseVariants(table_folder, names);
}

bool IsFileOfTable(std::string_view file_name, std::string_view table) {
  for (const std::string_view extension : kTableFileExtensions) {
    if (SameIgnoringAsciiCase(file_name, std::string(table) + std::string(extension))) return true;
  }
  return false;
}

bool IsCodePageFile(const std::filesystem::path& file) {
  return SameIgnoringAsciiCase(file.extension().string(), kCodePageFileExtension);
}

}  // namespace pontexa::tables
