#pragma once

#include "platform/error.h"

namespace pontexa::exchange {

// Why a file cannot be loaded, in Spanish, as it reads after the file's name:
// "Permiso denegado", "El archivo está vacío", or for a file that is not XML
// the parser's line and column ("línea 3, columna 7: ..."). The caller, which
// knows how the user names the file, puts the name in front.
class CannotLoad : public Error {
 public:
  using Error::Error;
};

}  // namespace pontexa::exchange
