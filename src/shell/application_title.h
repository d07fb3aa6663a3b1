#pragma once

#include <QString>

namespace pontexa::shell {

// The title of the program's message boxes, taken from the executable's path:
// the file name without its folder (either "/" or "\" separates), cut before its
// first ".", the first letter as it is and every letter after it in lower case:
// "Pontexa" for C:\Pontexa\PONTEXA.EXE, "pontexa" for /usr/bin/pontexa.
QString ApplicationTitle(const QString& executable_path);

}  // namespace pontexa::shell
