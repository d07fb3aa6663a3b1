#include "sha256.h"

#include <fstream>
#include <stdexcept>
#include <vector>

namespace pontexa::bench {

namespace {

std::string DigestOfFile(const std::filesystem::path& path, bool blank_table_date) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("No se puede abrir " + path.string());
  Sha256 hash;
  std::vector<char> chunk(1 << 16);
  bool first = true;
  while (file) {
    file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<std::size_t>(file.gcount());
    if (first && blank_table_date) {
      for (std::size_t i = 1; i <= 3 && i < got; ++i) chunk[i] = 0;
    }
    first = false;
    hash.Update(std::string_view(chunk.data(), got));
  }
  if (file.bad()) throw std::runtime_error("No se puede leer " + path.string());
  return hash.HexDigest();
}

}  // namespace

std::string Sha256OfFile(const std::filesystem::path& path) { return DigestOfFile(path, false); }

std::string Sha256OfTableFile(const std::filesystem::path& path) {
  return DigestOfFile(path, true);
}

}  // namespace pontexa::bench
