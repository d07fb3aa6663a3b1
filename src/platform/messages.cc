#include "platform/messages.h"

namespace pontexa::messages {

std::string CannotRead(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede leer '" + path.string() + "': " + std::string(reason);
}

std::string CannotWrite(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede escribir '" + path.string() + "': " + std::string(reason);
}

}  // namespace pontexa::messages
