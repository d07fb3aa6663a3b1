#include "run/recovery_messages.h"

#include "platform/messages.h"

namespace pontexa::run::messages {

using pontexa::messages::Quoted;

namespace {

std::string Opening(bool restore, std::string_view time) {
  return std::string(restore ? "La última restauración (" : "La última conversión (") +
         std::string(time) + ") no terminó";
}

}  // namespace

std::string FolderInUse(std::string_view process, std::string_view machine,
                        std::string_view folder) {
  return "Otra ejecución de Pontexa (proceso " + std::string(process) + " en " +
         std::string(machine) + ") está usando la carpeta de tablas " + Quoted(folder) +
         ". Espere a que termine.";
}

std::string ExchangeFileInUse(std::string_view path) {
  return "Otra ejecución de Pontexa está guardando el archivo XML " + Quoted(path) +
         ". Espere a que termine.";
}

std::string CannotUseLockFile(std::string_view path, std::string_view reason) {
  return "No se puede usar el archivo de bloqueo " + Quoted(path) + ": " + std::string(reason);
}

std::string UnknownHolder() { return "desconocido"; }

std::string_view RunNoun(bool restore) { return restore ? "restauración" : "conversión"; }

std::string TablesPutRight(bool restore, std::string_view time) {
  return Opening(restore, time) +
         ". Las tablas de Horaplan se han dejado como estaban antes de ella.";
}

std::string TablesUsedSince(bool restore, std::string_view time, std::string_view copy_name,
                            std::string_view copy_folder) {
  return Opening(restore, time) +
         " y las tablas de Horaplan han cambiado después, así que no se han tocado. La copia " +
         Quoted(copy_name) + " en " + Quoted(copy_folder) +
         " las guarda como estaban antes de ella; «pontexa-cli restore " + std::string(copy_name) +
         "» las repone.";
}

std::string CannotPutRight(bool restore, std::string_view time, std::string_view reason,
                           std::string_view copy_name, std::string_view copy_folder) {
  return Opening(restore, time) +
         " y las tablas de Horaplan no se pueden dejar como estaban antes de ella: " +
         std::string(reason) + ". La copia " + Quoted(copy_name) + " en " + Quoted(copy_folder) +
         " las guarda; hasta que se puedan reponer no se hará ninguna conversión ni "
         "restauración en esta carpeta.";
}

std::string CannotPutRightNoCopy(bool restore, std::string_view time, std::string_view reason) {
  return Opening(restore, time) +
         " y las tablas de Horaplan no se pueden dejar como estaban antes de ella: " +
         std::string(reason) +
         ". Antes de ella no había ninguna de estas tablas; hasta que se puedan quitar no se "
         "hará ninguna conversión ni restauración en esta carpeta.";
}

std::string CopyOfRunMissing(std::string_view copy_name) {
  return "la copia " + Quoted(copy_name) + " falta o está dañada";
}

std::string RemoveRecordToGoOn(std::string_view record_path) {
  return " Si las tablas ya le sirven como están, borre " + Quoted(record_path) +
         " para seguir.";
}

std::string ExchangeFileKeptOld(bool restore, std::string_view time, std::string_view path) {
  return Opening(restore, time) + ". El archivo XML " + Quoted(path) +
         " se ha quedado como estaba antes de ella.";
}

std::string ExchangeFileIsNew(bool restore, std::string_view time, std::string_view path) {
  return Opening(restore, time) + ", pero el archivo XML " + Quoted(path) +
         " ya se había guardado entero: tiene lo que ella escribió.";
}

std::string UnfinishedRunWaiting(bool restore, std::string_view time) {
  return Opening(restore, time) +
         " y está pendiente de arreglar: la próxima conversión o restauración en esta carpeta "
         "lo hará.";
}

std::string DamagedRunRecord(std::string_view path) {
  return "El registro " + Quoted(path) +
         " de una ejecución de Pontexa que no terminó está dañado. Compruebe las tablas de "
         "Horaplan (las copias están en 'copias-pontexa') y borre ese archivo";
}

std::string CannotWriteRunRecord(std::string_view path, std::string_view reason) {
  return "No se puede anotar el comienzo de la ejecución en " + Quoted(path) + ": " +
         std::string(reason);
}

std::string ReportRecovery(std::string_view notice) {
  return "Ejecución anterior: " + std::string(notice);
}

}  // namespace pontexa::run::messages
