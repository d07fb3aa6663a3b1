#include "tables/code_page_file.h"

#include <string>

#include "platform/env.h"
#include "platform/error.h"
#include "tables/messages.h"
#include "tables/table_file.h"

namespace pontexa::tables {
namespace {

constexpr std::string_view kCodePage = "1252";

std::string FileName(std::string_view table_name) { return std::string(table_name) + ".cpg"; }

Status WriteWhole(const std::filesystem::path& path, std::string_view text) {
  std::unique_ptr<File> file;
  Status status =
      Env::Current().Open(path, {.mode = OpenMode::kReplace, .regular_only = true}, &file);
  if (status.ok()) status = file->Append(text);
  if (file) {
    const Status closed = file->Close();
    if (status.ok()) status = closed;
  }
  return status;
}

}  // namespace

void WriteCodePageFile(const std::filesystem::path& table_folder, std::string_view table_name) {
  RemoveCodePageFiles(table_folder, table_name);
  const std::filesystem::path path = table_folder / FileName(table_name);
  if (const Status status = WriteWhole(path, kCodePage); !status) {
    Env::Current().Remove(path);  // a cut-short file would name no code page
    throw Error(messages::CannotWriteFile(path, status.text()));
  }
}

void RemoveCodePageFiles(const std::filesystem::path& table_folder, std::string_view table_name) {
  for (const auto& file : CaseVariants(table_folder, FileName(table_name))) {
    Env::Current().Remove(file);
  }
}

}  // namespace pontexa::tables
