#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pontexa {

// SHA-256 (FIPS 180-4), fed in pieces. On x86-64 processors with the SHA extensions the
// blocks are compressed with those instructions; elsewhere with plain C++. Both give the
// same digest.
class Sha256 {
 public:
  enum class Engine {
    kFastest,   // the SHA extensions where the processor has them, else portable
    kPortable,  // plain C++ everywhere; lets tests check the fast path against it
  };

  explicit Sha256(Engine engine = Engine::kFastest);
  void Update(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the object is spent afterwards.
  std::string HexDigest();

  // True when kFastest uses the SHA extensions on this processor.
  static bool HasShaExtensions();

  // Compresses `count` consecutive 64-byte blocks into `state`.
  using BlocksFunction = void (*)(std::uint32_t* state, const unsigned char* blocks,
                                  std::size_t count);

 private:
  void Blocks(const unsigned char* blocks, std::size_t count);

  BlocksFunction blocks_;
  std::array<std::uint32_t, 8> state_;
  std::array<unsigned char, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace pontexa
