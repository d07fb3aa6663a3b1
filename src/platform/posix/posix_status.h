#pragma once

#include "platform/env.h"

namespace pontexa::posix {

// The Status for a system error number, with the words the user reads after
// the name of the file it concerns ("Permiso denegado").
Status StatusOf(int error_number);

// The Status for the current errno.
Status LastError();

}  // namespace pontexa::posix
