#include "run/timetable_directory.h"

#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace pontexa::run {

namespace {

constexpr char kFolder[] = "HTEMP";

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

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
  std::error_code error;
  if (std::filesystem::is_directory(drive_c / kFolder, error)) return drive_c / kFolder;
  for (std::filesystem::directory_iterator it(drive_c, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_directory(error) && SameIgnoringAsciiCase(it->path().filename().string(), kFolder)) {
      return it->path();
    }
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
