#include "platform/file_system.h"

#include "platform/env.h"

namespace pontexa {

bool RealFileSystem::IsExistingFile(const std::string& path) const {
  return pontexa::IsExistingFile(path);
}

}  // namespace pontexa
