#include "tables/messages.h"

#include "platform/ascii.h"
#include "platform/messages.h"

namespace pontexa::tables::messages {
namespace {

std::string QuotedText(std::string_view text) { return pontexa::messages::Quoted(text); }

std::string Quoted(const std::filesystem::path& path) { return QuotedText(path.native()); }

std::string Field(std::size_t number) { return "el campo " + std::to_string(number); }

std::string LayoutOf(std::string_view table) {
  return "La estructura de la tabla " + QuotedText(table) + " ";
}

std::string EngineFailure(std::string_view action, const std::filesystem::path& path,
                          std::string_view reason) {
  std::string message = "Error del motor de tablas al " + std::string(action) + " " + Quoted(path);
  if (!reason.empty()) message += ": " + std::string(reason);
  return message;
}

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
  return QuotedText(text) + " no es un valor punto flotante válido";
}

std::string NotAnInteger(std::string_view text) {
  return QuotedText(text) + " no es un valor entero válido";
}

std::string InvalidTableName(std::string_view name) {
  return "El nombre de tabla " + QuotedText(name) + " no es válido";
}

std::string LayoutWithoutFields(std::string_view table) {
  return LayoutOf(table) + "no tiene campos";
}

std::string LayoutWithTooManyFields(std::string_view table) {
  return LayoutOf(table) + "tiene demasiados campos";
}

std::string LayoutWithInvalidFieldName(std::string_view table, std::string_view field) {
  return LayoutOf(table) + "tiene un nombre de campo no válido: " + QuotedText(field);
}

std::string LayoutWithInvalidWidth(std::string_view table, std::string_view field) {
  return LayoutOf(table) + "da al campo " + QuotedText(field) + " una anchura no válida";
}

std::string LayoutRepeatsField(std::string_view table, std::string_view field) {
  return LayoutOf(table) + "repite el campo " + QuotedText(field);
}

std::string NoTableFolder(const std::filesystem::path& folder) {
  return "No existe la carpeta de tablas " + Quoted(folder);
}

std::string TableClosed() {
  return "No se puede realizar esta operación en una fuente de datos cerrada";
}

std::string FieldNotFound(std::string_view binding, std::string_view field) {
  std::string message = "No se encuentra el campo " + QuotedText(field);
  if (!binding.empty()) message = std::string(binding) + ": " + message;
  return message;
}

std::string ReadOnlyTable(const std::filesystem::path& path) {
  return "La tabla " + Quoted(path) + " es de solo lectura";
}

std::string NoRowStarted(const std::filesystem::path& path) {
  return "No se ha empezado ninguna fila nueva en la tabla " + Quoted(path);
}

std::string NoRowToSave(const std::filesystem::path& path) {
  return "No hay ninguna fila nueva que guardar en la tabla " + Quoted(path);
}

std::string TextOutsideCodePage(std::string_view text, const std::filesystem::path& path,
                                int code_page) {
  return "No se puede guardar el texto " + QuotedText(text) + " en la tabla " + Quoted(path) +
         ", que usa la página de códigos " + std::to_string(code_page);
}

std::string FieldTakesNoNumbers(std::string_view field, const std::filesystem::path& path) {
  return "El campo " + QuotedText(field) + " de la tabla " + Quoted(path) + " no admite números";
}

std::string NumberDoesNotFit(std::string_view number, std::string_view field,
                             const std::filesystem::path& path) {
  return "El valor " + std::string(number) + " no cabe en el campo " + QuotedText(field) +
         " de la tabla " + Quoted(path);
}

std::string EngineCannotRead(const std::filesystem::path& path, std::string_view reason) {
  return EngineFailure("leer la tabla", path, reason);
}

std::string EngineCannotAppend(const std::filesystem::path& path, std::string_view reason) {
  return EngineFailure("añadir una fila a la tabla", path, reason);
}

}  // namespace pontexa::tables::messages
