#include "run/timetable_directory.h"

#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "platform/case_variants.h"

namespace pontexa::run {

namespace {

constexpr char kFolder[] = "HTEMP";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

}  // namespace

std::filesystem::path WineTimetableDirectory(const std::string& wine_prefix,
                                             const std::string& home) {
  const std::filesystem::path prefix =
      !wine_prefix.empty() ? std::filesystem::path(wine_prefix)
                           : std::filesystem::path(home.empty() ? "." : home) / ".wine";
  const std::filesystem::path drive_c = prefix / "drive_c";
  // Windows names are case-insensitive: C:\HTEMP may be drive_c/htemp on disk.
  for (const std::filesystem::path& folder : CaseVariants(drive_c, kFolder)) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return folder;
  }
  return drive_c / kFolder;
}

std::filesystem::path TimetableDirectory() {
#ifdef _WIN32
  return std::filesystem::path("C:\\HTEMP");
#else
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
      home = entry->pw_dir;
    }
  }
  return WineTimetableDirectory(Environment("WINEPREFIX"), home);
#endif
}

}  // namespace pontexa::run
