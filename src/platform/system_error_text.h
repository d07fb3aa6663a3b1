#pragma once

#include <string>

namespace pontexa {

// The Spanish text for a system error number, as the user reads it after the
// name of the file it concerns ("Permiso denegado", "No queda espacio en el
// disco"). Every message about a failed file operation uses these words.
std::string SystemErrorText(int errno_value);

}  // namespace pontexa
