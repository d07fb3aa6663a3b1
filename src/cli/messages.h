#pragma once

#include <string>
#include <string_view>

// What pontexa-cli itself says: its usage and help, the faults of a command
// line, and the listing and restore of copies. The conversions' own messages
// come from the run control.
namespace pontexa::cli::messages {

inline constexpr char kUsage[] =
    "Uso: pontexa-cli to-horaplan ARCHIVO.xml [--dir CARPETA] [--report INFORME.json] [--check]\n"
    "     pontexa-cli to-gedu ARCHIVO.xml [--dir CARPETA] [--report INFORME.json] [--check]\n"
    "     pontexa-cli copies [--dir CARPETA]\n"
    "     pontexa-cli restore NOMBRE [--dir CARPETA] [--xml ARCHIVO.xml]\n"
    "     pontexa-cli --help | --version\n";

inline constexpr char kHelp[] =
    "\n"
    "Convierte datos entre el archivo de intercambio XML de GEDU y las tablas dBase\n"
    "de Horaplan.\n"
    "\n"
    "  to-horaplan  Transforma datos desde GEDU hacia Horaplan: vuelve a crear las\n"
    "               tablas ASIGNOMT, PROFT, AULAT, GRUPOST, ASIGT y DIASHORAST a\n"
    "               partir del archivo XML.\n"
    "  to-gedu      Transforma datos desde Horaplan hacia GEDU: escribe en el archivo\n"
    "               XML la sección de horarios leída de las tablas de Horaplan, en\n"
    "               lugar de la anterior; el resto del archivo queda igual, byte a byte.\n"
    "  copies       Muestra las copias guardadas en CARPETA/copias-pontexa, de la\n"
    "               más reciente a la más antigua: nombre, hora, conversión y archivos.\n"
    "               Su nombre anterior, snapshots, sigue valiendo.\n"
    "  restore      Repone la copia NOMBRE: las tablas en la carpeta de tablas, o el\n"
    "               archivo XML en el archivo que se indique con --xml. Antes copia lo\n"
    "               que va a sustituir, de modo que también se puede deshacer. No\n"
    "               cambia nada mientras otro programa tenga abierta una de las tablas,\n"
    "               ni si el manifiesto de la copia nombra archivos que no son suyos.\n"
    "\n"
    "Solo una ejecución cambia la carpeta de tablas a la vez: las demás se rechazan\n"
    "enseguida, sin cambiar nada. Si una ejecución no terminó (el programa murió o se\n"
    "fue la luz), la siguiente conversión o restore deja las tablas como estaban\n"
    "antes de ella y lo dice primero en la salida de errores; --check y copies\n"
    "solo avisan de que está pendiente.\n"
    "\n"
    "Cada conversión deja en CARPETA/pontexa-informe.txt un informe: filas escritas o\n"
    "leídas por tabla, avisos (lo que falta o está mal en lo que guardan Horaplan o\n"
    "GEDU: identificadores desconocidos, clases fuera de la semana, códigos del\n"
    "horario guardado que ahora son de otro...) y notas (lo que solo cambia cómo se\n"
    "ve en Horaplan: códigos renombrados, nombres recortados...). Si hay alguno, se\n"
    "cuentan, avisos y notas por separado, en una línea en la salida de errores; no\n"
    "cambian el estado de salida.\n"
    "\n"
    "Antes de escribir, cada conversión copia lo que va a sustituir (las tablas, con\n"
    "sus archivos .MDX y .cpg, o el archivo XML) en CARPETA/copias-pontexa/AAAAMMDD-\n"
    "HHMMSS, con un manifiesto. Si to-horaplan falla a mitad, repone todas las tablas\n"
    "como estaban. Se guardan las 20 copias más recientes, por orden de creación; en\n"
    "copias-pontexa solo se tocan esas carpetas y los archivos que nombran sus\n"
    "manifiestos. Ninguna ejecución acepta dos archivos de una tabla que solo se\n"
    "distinguen por las mayúsculas (ASIGT.DBF y asigt.dbf), ni una tubería, un\n"
    "dispositivo o una carpeta en lugar de un archivo de la carpeta de tablas.\n"
    "\n"
    "Las dos conversiones rechazan, antes de tocar nada, un archivo XML cuyas\n"
    "entidades se expanden a más de diez veces su tamaño.\n"
    "\n"
    "  --dir CARPETA  Carpeta de las tablas de Horaplan. Por omisión, C:\\HTEMP dentro\n"
    "                 del prefijo de Wine ($WINEPREFIX, o bien $HOME/.wine).\n"
    "  --report INFORME.json\n"
    "                 Escribe además el informe de la conversión en JSON.\n"
    "  --xml ARCHIVO.xml\n"
    "                 Con restore, el archivo XML que se sustituye por la copia de un\n"
    "                 archivo XML; debe existir (un enlace simbólico se sigue). La ruta\n"
    "                 que guarda el manifiesto no basta.\n"
    "  --check        Prueba la conversión sobre copias temporales de las tablas y del\n"
    "                 archivo XML y muestra el informe, sin cambiar nada: estado 0 si\n"
    "                 la conversión terminaría bien, 1 (con el error) si fallaría.\n"
    "  --help         Muestra esta ayuda.\n"
    "  --version      Muestra la versión.\n"
    "\n"
    "Estado de salida: 0 si el proceso termina bien, 1 si falla, 2 si el uso es\n"
    "incorrecto.\n";

// A fault of the command line as shown before the usage: "pontexa-cli: " and
// one of the texts below.
std::string UsageFault(std::string_view problem);
std::string MissingCommand();
std::string UnknownCommand(std::string_view command);
// "falta la carpeta tras <option>", "falta el archivo tras <option>".
std::string MissingFolderAfter(std::string_view option);
std::string MissingFileAfter(std::string_view option);
std::string Repeated(std::string_view option);
std::string UnknownOption(std::string_view option);
std::string ExtraArgument(std::string_view argument);
std::string MissingCopyName();
std::string MissingXmlFile();
std::string EmptyFolder();
std::string CheckAndReportOnlyForConversions();
std::string EmptyReportName();
std::string XmlOnlyForRestore();
std::string EmptyXmlName();

std::string CannotWriteReport(std::string_view path);
// The line on standard error after a run with findings: their summary and
// where the report is.
std::string FindingsSummary(std::string_view summary, std::string_view report_path);

// The copies.
std::string MadeBeforeToHoraplan();
std::string MadeBeforeToGedu();
std::string MadeBeforeRestoring(std::string_view copy);
std::string DidNotExist(std::string_view table);
std::string NoCopies(std::string_view copies_folder);
std::string Restored(bool tables, std::string_view copy);
std::string WhatWasThereIsIn(std::string_view copy_of_replaced);

}  // namespace pontexa::cli::messages
