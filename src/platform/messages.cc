#include "platform/messages.h"

namespace pontexa::messages {

std::string CannotRead(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede leer '" + path.string() + "': " + std::string(reason);
}

std::string CannotWrite(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede escribir '" + path.string() + "': " + std::string(reason);
}

std::string UnsupportedCodePage(int code_page) {
  return "La página de códigos " + std::to_string(code_page) + " no está admitida";
}

std::string CannotConvertFromCodePage(int code_page) {
  return "No se puede convertir el texto desde la página de códigos " + std::to_string(code_page);
}

}  // namespace pontexa::messages
