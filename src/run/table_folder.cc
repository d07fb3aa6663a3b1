#include "run/table_folder.h"

#include "platform/case_variants.h"
#include "platform/env.h"

namespace pontexa::run {

namespace {

constexpr char kFolder[] = "HTEMP";

}  // namespace

std::filesystem::path WineTableFolder(const std::string& wine_prefix, const std::string& home) {
  const std::filesystem::path prefix =
      !wine_prefix.empty() ? std::filesystem::path(wine_prefix)
                           : std::filesystem::path(home.empty() ? "." : home) / ".wine";
  const std::filesystem::path drive_c = prefix / "drive_c";
  // Windows names are case-insensitive: C:\HTEMP may be drive_c/htemp on disk.
  for (const std::filesystem::path& folder : CaseVariants(drive_c, kFolder)) {
    FileInfo info;
    if (Env::Current().Info(folder, &info).ok() && info.IsFolder()) return folder;
  }
  return drive_c / kFolder;
}

std::filesystem::path TableFolder() {
#ifdef _WIN32
  return std::filesystem::path("C:\\HTEMP");
#else
  Env& env = Env::Current();
  return WineTableFolder(env.Variable("WINEPREFIX"), env.HomeFolder().string());
#endif
}

}  // namespace pontexa::run
