#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pontexa::bench {

// SHA-256 (FIPS 180-4), fed in pieces.
class Sha256 {
 public:
  Sha256();
  void Update(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const unsigned char* block);

  std::array<std::uint32_t, 8> state_;
  std::array<unsigned char, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

// The digest of a whole file; throws std::runtime_error when it cannot be read.
std::string Sha256OfFile(const std::filesystem::path& path);

// The digest of a dBase table with its date of last update (header bytes 1 to 3)
// taken as zeros: the same table written on another day gives the same digest.
std::string Sha256OfTableFile(const std::filesystem::path& path);

}  // namespace pontexa::bench
