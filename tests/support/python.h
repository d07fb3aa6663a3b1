#pragma once

#include <string>
#include <vector>

namespace pontexa::testing {

struct ProgramResult {
  int exit_code = -1;  // -1 when the program could not be started or was killed
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs a program (no shell; argv[0] is its path) and waits for it.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// Runs a script with Debian's interpreter, /usr/bin/python3, with `args` as
// sys.argv[1:].
ProgramResult RunPython(const std::string& script, const std::vector<std::string>& args = {});

// True when Debian's interpreter can import the module.
bool PythonHasModule(const std::string& module);

}  // namespace pontexa::testing
