#include "support/python.h"

namespace pontexa::testing {

Outcome RunPython(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

bool PythonHasModule(const std::string& module) {
  return RunPython("import " + module).status == 0;
}

}  // namespace pontexa::testing
