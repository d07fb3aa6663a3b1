#include "exchange/messages.h"

#include "platform/messages.h"

namespace pontexa::exchange::messages {
namespace {

using pontexa::messages::Quoted;

}  // namespace

std::string FileEmpty() { return "El archivo está vacío"; }
std::string FileTooLarge() { return "El archivo es demasiado grande"; }
std::string NoMemoryToRead() { return "No hay memoria suficiente para leer el documento"; }
std::string NotWellFormed() { return "El documento no es XML bien formado"; }

std::string EntitiesTooLarge(long line, long column, unsigned long long times_file_size) {
  return "línea " + std::to_string(line) + ", columna " + std::to_string(column) +
         ": las entidades del archivo se expanden a demasiado texto (más de " +
         std::to_string(times_file_size) + " veces el tamaño del archivo)";
}

std::string NoEndOfRootElement() {
  return "no se ha podido situar el final del elemento raíz en el archivo";
}

std::string InvalidElementName(std::string_view name) {
  return "Nombre de elemento no válido: " + Quoted(name);
}

std::string InvalidAttributeName(std::string_view name) {
  return "Nombre de atributo no válido: " + Quoted(name);
}

std::string CannotSetAttributeWithoutElement(std::string_view name) {
  return "No se puede poner el atributo " + Quoted(name) + ": no hay elemento";
}

std::string ControlCharacterInAttribute(std::string_view name, int code) {
  return "El valor del atributo " + Quoted(name) +
         " tiene un carácter de control que XML no admite (código " + std::to_string(code) + ")";
}

std::string AttributeAlreadySet(std::string_view name) {
  return "El atributo " + Quoted(name) + " ya está puesto en este elemento";
}

std::string NoOpenElementToEnd() { return "No hay ningún elemento abierto que cerrar"; }

std::string ElementNotEnded(std::string_view name) {
  return "El elemento " + Quoted(name) + " está sin cerrar";
}

std::string NoRootToWriteInto() {
  return "El archivo de intercambio no tiene elemento raíz: no se puede escribir en él la sección "
         "de horarios";
}

std::string StatefulEncoding(std::string_view path, std::string_view encoding) {
  return "No se puede escribir la sección de horarios en el archivo " + Quoted(path) +
         ": está en la codificación de caracteres " + Quoted(encoding) +
         ", que cambia de modo entre unos caracteres y otros, y escribir en ella una parte del "
         "archivo alteraría el resto. El archivo no se ha modificado; guárdelo en UTF-8 y vuelva "
         "a intentarlo";
}

std::string WrittenUnreadable(std::string_view why) {
  return "El archivo escrito no se podría volver a leer (" + std::string(why) +
         "): ponerlo en lugar del archivo de intercambio lo habría dañado, así que el archivo "
         "se deja como estaba";
}

std::string EncodingNotWritable(std::string_view encoding) {
  return "La codificación de caracteres " + Quoted(encoding) + " no se puede escribir";
}

std::string CannotWriteInEncoding(std::string_view encoding) {
  return "No se ha podido escribir el texto en la codificación " + Quoted(encoding);
}

}  // namespace pontexa::exchange::messages
