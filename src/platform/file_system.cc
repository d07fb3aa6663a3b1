#include "platform/file_system.h"

#include <sys/stat.h>

namespace pontexa {

bool RealFileSystem::IsExistingFile(const std::string& path) const {
  if (path.empty()) return false;
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace pontexa
