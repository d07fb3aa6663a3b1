#include "platform/sha256.h"

#include <algorithm>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace pontexa {
namespace {

alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PortableBlocks(std::uint32_t* state, const unsigned char* block, std::size_t count) {
  for (; count > 0; --count, block += 64) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      w[i] = (std::uint32_t{block[4 * i]} << 24) | (std::uint32_t{block[4 * i + 1]} << 16) |
             (std::uint32_t{block[4 * i + 2]} << 8) | std::uint32_t{block[4 * i + 3]};
    }
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t t1 =
          h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
      const std::uint32_t t2 =
          (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#if defined(__x86_64__)

// The SHA extensions keep the working variables in two registers, A B E F and C D G H
// (first letter in the highest lane); sha256rnds2 does two rounds and returns the new
// A B E F, while the old A B E F becomes the new C D G H. The message schedule comes
// four words at a time: sha256msg1 adds sigma0 of the next word, sha256msg2 adds sigma1
// of the words two back once W[t-7] has been added in between.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaExtensionBlocks(std::uint32_t* state,
                                                                    const unsigned char* block,
                                                                    std::size_t count) {
  // Turns each big-endian 32-bit word of the input into a lane.
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

  // state[0..3] = a b c d, state[4..7] = e f g h, lane 0 first.
  const __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  const __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i badc = _mm_shuffle_epi32(abcd, 0xB1);
  const __m128i hgfe = _mm_shuffle_epi32(efgh, 0x1B);
  __m128i abef = _mm_alignr_epi8(badc, hgfe, 8);     // lanes f e b a
  __m128i cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);  // lanes h g d c

  for (; count > 0; --count, block += 64) {
    const __m128i abef_start = abef;
    const __m128i cdgh_start = cdgh;
    __m128i w[4];
    for (int i = 0; i < 4; ++i) {
      w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                              byte_swap);
    }
#pragma GCC unroll 16
    for (int group = 0; group < 16; ++group) {
      // w[group % 4] holds words 4*group .. 4*group+3 once computed.
      if (group >= 4) {
        __m128i& oldest = w[group & 3];                         // W[t-16 .. t-13]
        const __m128i next = w[(group + 1) & 3];                // W[t-12 .. t-9]
        const __m128i second = w[(group + 2) & 3];              // W[t-8 .. t-5]
        const __m128i newest = w[(group + 3) & 3];              // W[t-4 .. t-1]
        const __m128i t7 = _mm_alignr_epi8(newest, second, 4);  // W[t-7 .. t-4]
        oldest =
            _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(oldest, next), t7), newest);
      }
      const __m128i wk = _mm_add_epi32(
          w[group & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * group)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);                           // new A B E F
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));  // and again
      // After the two calls abef holds A B E F again and cdgh holds C D G H.
    }
    abef = _mm_add_epi32(abef, abef_start);
    cdgh = _mm_add_epi32(cdgh, cdgh_start);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);  // lanes a b e f
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);  // lanes g h c d
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#endif

Sha256::BlocksFunction FastestBlocks() {
#if defined(__x86_64__)
  static const Sha256::BlocksFunction chosen =
      Sha256::HasShaExtensions() ? ShaExtensionBlocks : PortableBlocks;
  return chosen;
#else
  return PortableBlocks;
#endif
}

}  // namespace

Sha256::Sha256(Engine engine)
    : blocks_(engine == Engine::kPortable ? PortableBlocks : FastestBlocks()),
      state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

bool Sha256::HasShaExtensions() {
#if defined(__x86_64__)
  // Asked of the processor itself: not every compiler knows "sha" as a
  // feature name for __builtin_cpu_supports.
  static const bool has = [] {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    const bool ssse3 = (c & bit_SSSE3) != 0;
    const bool sse41 = (c & bit_SSE4_1) != 0;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
    const bool sha = (b & bit_SHA) != 0;
    return sha && ssse3 && sse41;
  }();
  return has;
#else
  return false;
#endif
}

void Sha256::Blocks(const unsigned char* blocks, std::size_t count) {
  if (count > 0) blocks_(state_.data(), blocks, count);
}

void Sha256::Update(std::string_view bytes) {
  length_ += bytes.size();
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  if (buffered_ > 0) {
    const std::size_t take = std::min(left, buffer_.size() - buffered_);
    std::copy(in, in + take, buffer_.begin() + buffered_);
    buffered_ += take;
    in += take;
    left -= take;
    if (buffered_ < buffer_.size()) return;
    Blocks(buffer_.data(), 1);
    buffered_ = 0;
  }
  // Whole blocks straight from the caller's bytes; only the tail is kept back.
  const std::size_t whole = left / 64;
  Blocks(in, whole);
  in += whole * 64;
  left -= whole * 64;
  std::copy(in, in + left, buffer_.begin());
  buffered_ = left;
}

std::string Sha256::HexDigest() {
  const std::uint64_t bits = length_ * 8;
  buffer_[buffered_++] = 0x80;
  if (buffered_ > 56) {
    std::fill(buffer_.begin() + buffered_, buffer_.end(), 0);
    Blocks(buffer_.data(), 1);
    buffered_ = 0;
  }
  std::fill(buffer_.begin() + buffered_, buffer_.begin() + 56, 0);
  for (int i = 0; i < 8; ++i) buffer_[56 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  Blocks(buffer_.data(), 1);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (std::uint32_t word : state_) {
    for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(word >> shift) & 0xF];
  }
  return hex;
}

}  // namespace pontexa
