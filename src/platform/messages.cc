#include "platform/messages.h"

namespace pontexa::messages {

// Built by appending: GCC 12 warns wrongly (-Wrestrict) about "'" + std::string.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted.append(text);
  quoted += '\'';
  return quoted;
}

std::string CannotRead(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede leer " + Quoted(path.string()) + ": " + std::string(reason);
}

std::string CannotWrite(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede escribir " + Quoted(path.string()) + ": " + std::string(reason);
}

std::string UnsupportedCodePage(int code_page) {
  return "La página de códigos " + std::to_string(code_page) + " no está admitida";
}

std::string CannotConvertFromCodePage(int code_page) {
  return "No se puede convertir el texto desde la página de códigos " + std::to_string(code_page);
}

std::string NoFileGiven() { return "No se ha indicado ningún archivo"; }
std::string NotARegularFile() { return "No es un archivo normal"; }
std::string FileTooLarge() { return "El archivo es demasiado grande"; }

std::string ReadOnlyFile() { return "El archivo es de solo lectura"; }

std::string CannotSave(std::string_view path, std::string_view why) {
  return "No se puede guardar el archivo " + Quoted(path) + ": " + std::string(why);
}

std::string WrittenDiffers() { return "Lo escrito en el disco no coincide con el documento"; }

}  // namespace pontexa::messages
