#pragma once

#include <string>
#include <vector>

#include "support/program.h"

namespace pontexa::testing {

// Runs a script with Debian's interpreter, /usr/bin/python3, with `args` as
// sys.argv[1:].
Outcome RunPython(const std::string& script, const std::vector<std::string>& args = {});

// True when Debian's interpreter can import the module.
bool PythonHasModule(const std::string& module);

}  // namespace pontexa::testing
