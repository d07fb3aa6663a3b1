#include "tables/code_page_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "platform/error.h"
#include "platform/file_descriptor.h"
#include "platform/system_error_text.h"
#include "tables/messages.h"
#include "tables/table_file.h"

namespace pontexa::tables {
namespace {

constexpr std::string_view kCodePage = "1252";

std::string FileName(std::string_view table_name) { return std::string(table_name) + ".cpg"; }

// 0, or the system error number of the first failure.
int WriteWhole(const std::filesystem::path& path, std::string_view text) {
  FileDescriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (file.get() < 0) return errno;
  while (!text.empty()) {
    const ssize_t written = ::write(file.get(), text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return file.Close();
}

}  // namespace

void WriteCodePageFile(const std::filesystem::path& directory, std::string_view table_name) {
  RemoveCodePageFiles(directory, table_name);
  const std::filesystem::path path = directory / FileName(table_name);
  if (const int error_number = WriteWhole(path, kCodePage); error_number != 0) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // a cut-short file would name no code page
    throw Error(messages::CannotWriteFile(path, SystemErrorText(error_number)));
  }
}

void RemoveCodePageFiles(const std::filesystem::path& directory, std::string_view table_name) {
  for (const auto& file : CaseVariants(directory, FileName(table_name))) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
  }
}

}  // namespace pontexa::tables
