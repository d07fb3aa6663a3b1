#include "run/messages.h"

#include <new>

#include "platform/error.h"
#include "platform/messages.h"

namespace pontexa::run::messages {
namespace {

using pontexa::messages::Quoted;

// "A, B y C".
std::string Enumeration(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " y " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace

std::string OutOfMemory() { return "No hay memoria suficiente"; }

std::string InternalError(std::string_view what) { return "Error interno: " + std::string(what); }

std::string MessageOfCurrentError() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  } catch (const Error& error) {
    return error.what();
  } catch (const std::exception& error) {
    return InternalError(error.what());
  }
}

std::string NotAnXmlDocument() { return "el archivo no es un documento XML válido"; }

std::string CannotReadExchangeFile(std::string_view path, std::string_view reason) {
  return "No se puede leer el archivo XML " + Quoted(path) + ": " + std::string(reason);
}

std::string CannotCopyBeforeSaving(std::string_view path, std::string_view reason) {
  return "No se puede guardar el archivo " + Quoted(path) +
         ": no se puede hacer antes su copia: " + std::string(reason);
}

std::string ReportIsAt(std::string_view path) {
  return " El informe está en " + Quoted(path) + ".";
}

std::string CannotCopyTablesBeforeWriting(const std::vector<std::string>& tables,
                                          std::string_view reason) {
  return "No se puede hacer la copia de las tablas " + Enumeration(tables) +
         " antes de escribirlas: " + std::string(reason) + ". No se ha cambiado ninguna tabla.";
}

std::string CannotCopyBeforeRestoring(std::string_view copy, std::string_view reason) {
  return "No se puede hacer la copia de lo que hay ahora antes de reponer la copia " +
         Quoted(copy) + ": " + std::string(reason) + ". No se ha cambiado nada.";
}

std::string NoSuchCopy(std::string_view copy, std::string_view copies_folder) {
  return "No existe la copia " + Quoted(copy) + " en " + Quoted(copies_folder);
}

std::string DamagedCopy(std::string_view copy_folder) {
  return "la copia " + Quoted(copy_folder) + " está dañada";
}

std::string DamagedCopyFile(std::string_view copy_folder, std::string_view file) {
  return "La copia " + Quoted(copy_folder) + " está dañada: el archivo " + Quoted(file) +
         " no es el que se copió";
}

std::string CannotRestore(std::string_view target, std::string_view reason) {
  return "No se puede reponer " + Quoted(target) + ": " + std::string(reason);
}

std::string CannotRemove(std::string_view file) { return "No se puede borrar " + Quoted(file); }

std::string CannotMakeFolder(std::string_view folder, std::string_view reason) {
  return "no se puede crear la carpeta " + Quoted(folder) + ": " + std::string(reason);
}

std::string TooManyCopiesThisSecond(std::string_view copies_folder) {
  return "hay demasiadas copias de este segundo en " + Quoted(copies_folder);
}

std::string CannotCopyFileNamed(std::string_view name) {
  return "un archivo llamado " + Quoted(name) + " no se puede copiar";
}

std::string CannotWrite(std::string_view path, std::string_view reason) {
  return "no se puede escribir " + Quoted(path) + ": " + std::string(reason);
}

std::string ManifestNamesNoTable(std::string_view table) {
  return "su manifiesto nombra la tabla " + Quoted(Visible(table)) +
         ", que no es un nombre de tabla";
}

std::string ManifestNamesNoFileName(std::string_view name) {
  return "su manifiesto nombra " + Quoted(Visible(name)) + ", que no es un nombre de archivo";
}

std::string ManifestNamesFileOfNoTable(std::string_view name) {
  return "su manifiesto nombra el archivo " + Quoted(Visible(name)) +
         ", que no es de ninguna de sus tablas";
}

std::string UnsafeCopy(std::string_view copy, std::string_view reason) {
  return "La copia " + Quoted(Visible(copy)) + " no se puede reponer: " + std::string(reason) +
         ". No se ha cambiado nada.";
}

std::string ExchangeCopyNeedsPath(std::string_view copy, std::string_view recorded_path) {
  return "La copia " + Quoted(copy) + " es del archivo XML " + Quoted(Visible(recorded_path)) +
         ": indique el archivo que se sustituye, por ejemplo «pontexa-cli restore " +
         std::string(copy) + " --xml RUTA». No se ha cambiado nada.";
}

std::string NoExchangeFileToReplace(std::string_view path) {
  return "No existe el archivo XML " + Quoted(Visible(path)) +
         ": la copia solo se repone sobre un archivo que ya existe. No se ha cambiado nada.";
}

std::string XmlPathForTablesCopy(std::string_view copy) {
  return "La copia " + Quoted(copy) +
         " es de tablas, no del archivo XML: no se indica ningún archivo XML para reponerla. No "
         "se ha cambiado nada.";
}

std::string RestoreCutShort(std::string_view error, const std::vector<std::string>& changed,
                            std::string_view replaced_folder, std::string_view replaced_name) {
  std::vector<std::string> quoted;
  for (const std::string& name : changed) quoted.push_back(Quoted(Visible(name)));
  std::string text(error);
  if (!text.ends_with('.')) text += '.';
  return text + " La restauración se ha quedado a medias: ya se había" +
         (changed.size() == 1 ? " cambiado " : "n cambiado ") + Enumeration(quoted) +
         ". Lo que había antes está en la copia " + Quoted(replaced_folder) +
         "; «pontexa-cli restore " + std::string(replaced_name) + "» lo repone.";
}

std::string TableFileTwice(std::string_view first, std::string_view second) {
  return "La carpeta de tablas tiene dos archivos de la misma tabla que solo se distinguen por "
         "las mayúsculas: " +
         Quoted(Visible(first)) + " y " + Quoted(Visible(second)) +
         ". Deje solo uno de los dos; no se ha cambiado nada.";
}

std::string Visible(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string CannotMakeTrialFolder(std::string_view reason) {
  return "No se puede crear una carpeta temporal para la prueba: " + std::string(reason);
}

std::string CodeMoved(std::string_view code, const CodeOwnerWords& words,
                      std::string_view before_name, std::string_view before_id,
                      std::string_view after_name, std::string_view after_id, bool has_after,
                      std::size_t lessons) {
  std::string text = "El código " + Quoted(code) + " era " + words.of + " " + Quoted(before_name) +
                     " (" + std::string(before_id) + ") y ahora ";
  text += has_after ? "es de " + Quoted(after_name) + " (" + std::string(after_id) + ")"
                    : std::string("no es de ") + words.none;
  text += lessons == 1 ? ": lo usa 1 clase" : ": lo usan " + std::to_string(lessons) + " clases";
  return text + " del horario guardado (SOLUC).";
}

std::string TimetableOlderThanCatalogue(const std::vector<MovedCode>& codes) {
  std::vector<std::string> listed;
  for (const MovedCode& moved : codes) {
    listed.push_back(Quoted(moved.code) + ", que era " + moved.of + " " +
                     Quoted(moved.before_name));
  }
  return "El horario guardado (SOLUC) no se ha vuelto a guardar desde la última conversión "
         "desde GEDU, que cambió a quién nombra" +
         std::string(codes.size() == 1 ? " el código " : "n los códigos ") + Enumeration(listed) +
         ": compruebe esas clases en Horaplan antes de fiarse de lo que se escribe para GEDU.";
}

std::string TimetableNotChecked(std::string_view reason) {
  return "No se ha podido comprobar si los códigos del horario guardado (SOLUC) siguen "
         "nombrando a los mismos elementos: " +
         std::string(reason) + ".";
}

std::string TrialSpaceFailed(std::string_view trial_folder, std::string_view error) {
  std::string text = "La prueba ha fallado en su propia carpeta temporal " + Quoted(trial_folder) +
                     ", no en la carpeta de tablas ni en el archivo XML: " + std::string(error);
  return text;
}

std::string OwnerNotKept(std::uint32_t owner, std::uint32_t group, std::uint32_t new_owner,
                         std::uint32_t new_group) {
  return "el sistema no ha permitido conservar el propietario y el grupo del archivo XML (" +
         std::to_string(owner) + ":" + std::to_string(group) + "); ahora son " +
         std::to_string(new_owner) + ":" + std::to_string(new_group) + ".";
}

std::string OtherNamesKeepOldContent(std::uint64_t names) {
  return "el archivo XML tenía " + std::to_string(names) +
         " nombres (enlaces físicos); los demás nombres siguen con el contenido anterior.";
}

std::string ReportNotWritten(std::string_view path) {
  return "No se ha podido escribir el informe " + Quoted(path) + ".";
}

std::string SomeTableNotAsItWas() { return "alguna tabla no ha quedado como estaba"; }

std::string TablesNotLeftAsTheyWere(std::string_view reason, std::string_view copy_folder,
                                    std::string_view copy_name) {
  return "No se han podido dejar las tablas de Horaplan como estaban: " + std::string(reason) +
         ". La copia de las tablas anteriores está en " + Quoted(copy_folder) +
         "; «pontexa-cli restore " + std::string(copy_name) + "» las repone.";
}

std::string TablesNotLeftAsTheyWereNoCopy(std::string_view reason) {
  return "No se han podido dejar las tablas de Horaplan como estaban: " + std::string(reason) +
         ". Antes de la conversión no había ninguna de estas tablas en la carpeta.";
}

std::string ReportTitle() { return "Informe de Pontexa"; }

std::string ReportConversion(bool to_horaplan) {
  return std::string("Conversión: ") +
         (to_horaplan ? "desde GEDU hacia Horaplan" : "desde Horaplan hacia GEDU");
}

std::string ReportTime(std::string_view time) { return "Hora: " + std::string(time); }

std::string ReportExchangeFile(std::string_view path) {
  return "Archivo XML: " + std::string(path);
}

std::string ReportTableFolder(std::string_view folder) {
  return "Carpeta de tablas: " + std::string(folder);
}

std::string ReportOutcome(bool ok, std::string_view error) {
  return "Resultado: " + (ok ? std::string("terminado") : "error: " + std::string(error));
}

std::string ReportNote(std::string_view note) { return "Nota: " + std::string(note); }

std::string ReportRowsHeading(bool to_horaplan) {
  return to_horaplan ? "Filas escritas:" : "Filas leídas:";
}

std::string ReportNoTables() { return "(ninguna tabla)"; }

namespace {

// "1 aviso", "3 notas".
std::string CountOf(FindingLevel level, std::size_t count) {
  const bool aviso = level == FindingLevel::kAviso;
  return std::to_string(count) +
         (aviso ? (count == 1 ? " aviso" : " avisos") : (count == 1 ? " nota" : " notas"));
}

}  // namespace

std::string ReportFindingsCount(FindingLevel level, std::size_t findings) {
  if (level == FindingLevel::kAviso) {
    return findings == 0 ? "Avisos: ninguno" : "Avisos: " + std::to_string(findings);
  }
  return findings == 0 ? "Notas: ninguna" : "Notas: " + std::to_string(findings);
}

std::string MoreFindingsInReport(FindingLevel level, std::size_t more) {
  return "... y " + CountOf(level, more) + " más" + " en el informe.";
}

std::string FindingsCount(std::size_t findings) {
  return "Hay " + std::to_string(findings) + (findings == 1 ? " aviso." : " avisos.");
}

std::string FindingsSummary(FindingLevel level, std::size_t findings, std::string_view by_kind) {
  if (by_kind.empty()) return CountOf(level, findings);
  return CountOf(level, findings) + " (" + std::string(by_kind) + ")";
}

}  // namespace pontexa::run::messages
