#include "cli/messages.h"

#include "platform/messages.h"

namespace pontexa::cli::messages {
namespace {

constexpr char kProgramPrefix[] = "pontexa-cli: ";

using pontexa::messages::Quoted;

std::string MissingAfter(std::string_view what, std::string_view option) {
  return "falta " + std::string(what) + " tras " + std::string(option);
}

}  // namespace

std::string UsageFault(std::string_view problem) { return kProgramPrefix + std::string(problem); }

std::string MissingCommand() { return "falta la orden"; }
std::string UnknownCommand(std::string_view command) {
  return "orden desconocida " + Quoted(command);
}

std::string MissingFolderAfter(std::string_view option) {
  return MissingAfter("la carpeta", option);
}

std::string MissingFileAfter(std::string_view option) { return MissingAfter("el archivo", option); }

std::string Repeated(std::string_view option) {
  return std::string(option) + " aparece más de una vez";
}

std::string UnknownOption(std::string_view option) {
  return "opción desconocida " + Quoted(option);
}
std::string ExtraArgument(std::string_view argument) {
  return "sobra el argumento " + Quoted(argument);
}
std::string MissingCopyName() { return "falta el nombre de la copia"; }
std::string MissingXmlFile() { return "falta el archivo XML"; }
std::string EmptyFolder() { return "la carpeta está vacía"; }

std::string CheckAndReportOnlyForConversions() {
  return "--check y --report solo valen para to-horaplan y to-gedu";
}

std::string EmptyReportName() { return "el informe está vacío"; }

std::string XmlOnlyForRestore() { return "--xml solo vale para restore"; }

std::string EmptyXmlName() { return "el archivo XML tras --xml está vacío"; }

std::string CannotWriteReport(std::string_view path) {
  return "No se puede escribir el informe " + Quoted(path);
}

std::string FindingsSummary(std::string_view summary, std::string_view report_path) {
  return kProgramPrefix + std::string(summary) + "; informe en " + Quoted(report_path);
}

std::string MadeBeforeToHoraplan() { return "antes de GEDU -> Horaplan"; }
std::string MadeBeforeToGedu() { return "antes de Horaplan -> GEDU"; }
std::string MadeBeforeRestoring(std::string_view copy) {
  return "antes de reponer " + std::string(copy);
}
std::string DidNotExist(std::string_view table) { return std::string(table) + " (no existía)"; }

std::string NoCopies(std::string_view copies_folder) {
  return "No hay copias en " + Quoted(copies_folder) + ".";
}

std::string Restored(bool tables, std::string_view copy) {
  return (tables ? "Tablas repuestas desde la copia " : "Archivo XML repuesto desde la copia ") +
         Quoted(copy) + ".";
}

std::string WhatWasThereIsIn(std::string_view copy_of_replaced) {
  return " Lo que había antes está en la copia " + Quoted(copy_of_replaced) + ".";
}

}  // namespace pontexa::cli::messages
