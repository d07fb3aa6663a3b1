#include "tables/messages.h"

#include "platform/ascii.h"

namespace pontexa::tables::messages {
namespace {

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

std::string Field(std::size_t number) { return "el campo " + std::to_string(number); }

}  // namespace

std::string NoSuchTable(const std::filesystem::path& path) {
  return "No existe la tabla " + Quoted(path);
}

std::string CannotOpenTable(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede abrir la tabla " + Quoted(path) + ": " + std::string(reason);
}

std::string NotAFile() { return "no es un archivo"; }

std::string CannotCreateTable(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede crear la tabla " + Quoted(path) + ": " + std::string(reason);
}

std::string CannotReadTable(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede leer la tabla " + Quoted(path) + ": " + std::string(reason);
}

std::string CannotWriteTable(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede escribir en la tabla " + Quoted(path) + ": " + std::string(reason);
}

std::string CannotWriteFile(const std::filesystem::path& path, std::string_view reason) {
  return "No se puede escribir el archivo " + Quoted(path) + ": " + std::string(reason);
}

std::string InUse(const std::filesystem::path& path, std::string_view program) {
  const bool table = AsciiUpper(path.extension().string()) == ".DBF";
  std::string message =
      (table ? "La tabla " : "El archivo ") + Quoted(path) + " está en uso por otro programa";
  if (!program.empty()) message += " (" + std::string(program) + ")";
  return message;
}

std::string TooShortForDbase(const std::filesystem::path& path) {
  return "La tabla " + Quoted(path) + " no es una tabla dBase: el archivo es demasiado corto";
}

std::string Dbase7(const std::filesystem::path& path) {
  return "La tabla " + Quoted(path) +
         " está en formato dBase 7, que este programa no lee; guárdela como dBase IV";
}

std::string UnreadableVersion(const std::filesystem::path& path) {
  return "La tabla " + Quoted(path) + " no es una tabla dBase que este programa pueda leer";
}

std::string Damaged(const std::filesystem::path& path, std::string_view reason) {
  return "La tabla " + Quoted(path) + " está dañada: " + std::string(reason);
}

std::string NoFieldsDescribed() { return "la cabecera no describe ningún campo"; }
std::string ShorterThanHeader() { return "el archivo es más corto que su cabecera"; }

std::string FieldWithoutValidName(std::size_t field_number) {
  return Field(field_number) + " no tiene un nombre válido";
}

std::string FieldOfZeroWidth(std::size_t field_number) {
  return Field(field_number) + " tiene anchura cero";
}

std::string MoreDecimalsThanWidth(std::size_t field_number) {
  return Field(field_number) + " tiene más decimales que anchura";
}

std::string RecordLengthMismatch() { return "la longitud de registro no coincide con los campos"; }

std::string RowsMissing(std::uint32_t stored_rows) {
  return "la cabecera indica " + std::to_string(stored_rows) +
         " filas, pero el archivo no las contiene todas";
}

std::string NotAFloat(std::string_view text) {
  return "'" + std::string(text) + "' no es un valor punto flotante válido";
}

std::string NotAnInteger(std::string_view text) {
  return "'" + std::string(text) + "' no es un valor entero válido";
}

}  // namespace pontexa::tables::messages
