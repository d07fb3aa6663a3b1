#include "run/undo_messages.h"

#include "platform/messages.h"

namespace pontexa::run::messages {
namespace {

using pontexa::messages::Quoted;

constexpr char kCopyFirst[] = "lo que hay ahora se guardará antes en una copia.";

std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

std::string UndoQuestion(bool tables, std::string_view path) {
  const std::string what = tables ? "Las tablas de Horaplan volverán a estar"
                                  : "El archivo " + Quoted(path) + " volverá a estar";
  return "¿Deshacer la conversión? " + what + " como antes de ella; " + kCopyFirst;
}

std::string ChangedFile(std::string_view name, FileChange change) {
  const char* how = change == FileChange::kModified  ? "modificado"
                    : change == FileChange::kRemoved ? "borrado"
                                                     : "nuevo";
  return std::string(name) + " (" + how + ")";
}

std::string ChangedSinceQuestion(const std::vector<std::string>& changed) {
  return "Desde la conversión han cambiado: " + Listed(changed) +
         ". Si la deshace, esos cambios se perderán; " + kCopyFirst +
         " ¿Deshacer la conversión de todos modos?";
}

std::string UndoDone(bool tables, std::string_view path, std::string_view copy_of_replaced) {
  const std::string what =
      tables ? "las tablas de Horaplan están" : "el archivo " + Quoted(path) + " está";
  return "Conversión deshecha: " + what + " como antes de ella. Lo que había se ha guardado en " +
         "la copia " + Quoted(copy_of_replaced) + ".";
}

std::string CopyBeforeToHoraplan() { return "GEDU hacia Horaplan"; }
std::string CopyBeforeToGedu() { return "Horaplan hacia GEDU"; }
std::string CopyBeforeRestoring(std::string_view copy) {
  return "Reposición de la copia " + Quoted(copy);
}

std::string TableDidNotExist(std::string_view table) {
  return std::string(table) + " (no existía)";
}

std::string ExchangeFileHeld(std::string_view path) { return "Archivo XML " + Quoted(path); }

std::string RestoreQuestion(bool tables, std::string_view time, std::string_view made_by) {
  const std::string what = tables ? "Sus tablas sustituirán a las de la carpeta de tablas; "
                                  : "Elija a continuación el archivo XML que sustituirá; ";
  return "¿Reponer la copia del " + std::string(time) + " (" + std::string(made_by) + ")? " + what +
         kCopyFirst;
}

std::string RestoreDone(bool tables, std::string_view copy, std::string_view copy_of_replaced,
                        std::string_view path) {
  std::string text =
      tables ? "Tablas repuestas desde la copia " + Quoted(copy) + "."
             : "Archivo XML " + Quoted(path) + " repuesto desde la copia " + Quoted(copy) + ".";
  if (!copy_of_replaced.empty())
    text += " Lo que había antes está en la copia " + Quoted(copy_of_replaced) + ".";
  return text;
}

std::string NothingToUndo() {
  return "No hay ninguna conversión que deshacer: solo se puede deshacer la última, si hizo "
         "una copia.";
}

}  // namespace pontexa::run::messages
