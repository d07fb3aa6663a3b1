#include "shell/spanish_texts.h"

#include <cstring>

namespace pontexa::shell {

QString SpanishTexts::translate(const char* context, const char* source_text, const char*,
                                int) const {
  if (context == nullptr || source_text == nullptr || std::strcmp(context, "QMessageBox") != 0) {
    return {};
  }
  if (std::strcmp(source_text, "Show Details...") == 0) return "Mostrar detalles...";
  if (std::strcmp(source_text, "Hide Details...") == 0) return "Ocultar detalles...";
  return {};
}

}  // namespace pontexa::shell
