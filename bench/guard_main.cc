// pontexa-bench-guard: the check that Horaplan to GEDU makes of the file it has
// written before that file replaces the exchange file (a pass of the parser
// over it, block by block, under the rules of the load), on its own, so that
// the benchmark can tell what the check costs.
//
//   pontexa-bench-guard FILE.xml
#include <cstdio>
#include <exception>
#include <string>

#include "exchange/xml_parse.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: pontexa-bench-guard ARCHIVO.xml\n");
    return 2;
  }
  try {
    const std::string path = argv[1];
    pontexa::exchange::CheckWellFormedFile(path, path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
