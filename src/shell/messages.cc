#include "shell/messages.h"

namespace pontexa::shell::messages {

std::string MissingTranslations(std::string_view folder) {
  return "pontexa: no se encuentran las traducciones de Qt al español en " + std::string(folder) +
         " (paquete qt6-translations-l10n); el diálogo de archivos se mostrará en inglés.";
}

}  // namespace pontexa::shell::messages
