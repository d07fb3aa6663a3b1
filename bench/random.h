#pragma once

#include <cstdint>

namespace pontexa::bench {

// A small seeded generator (SplitMix64) with its own bounded draws, so that a
// seed gives the same school with every compiler and standard library (the
// standard distributions are free to differ between them).
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A whole number from 0 to n - 1; n must be at least 1.
  int Below(int n) {
    return static_cast<int>((static_cast<unsigned __int128>(Next()) * static_cast<unsigned>(n)) >>
                            64);
  }

  // True with the given chance in percent.
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::uint64_t state_;
};

}  // namespace pontexa::bench
