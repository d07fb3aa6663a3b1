#pragma once

#include <cstdint>
#include <vector>

namespace pontexa::shell {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// 0xRRGGBB to Rgb.
constexpr Rgb RgbFromHex(std::uint32_t hex) {
  return Rgb{static_cast<std::uint8_t>(hex >> 16), static_cast<std::uint8_t>(hex >> 8),
             static_cast<std::uint8_t>(hex)};
}

// The colour of every row, from the top, of a panel `height` pixels high painted
// with the three-colour vertical gradient: the panel is split at height / 2; the
// upper part runs from `top` to `middle`, the lower part from `middle` to
// `bottom`. Each part of h rows is painted as min(h, 256) solid bands counted
// upwards from its bottom edge; band i of n has, per channel, a + (b - a)·i/(n - 1)
// rounded to the nearest integer (halves away from zero), a being the part's
// bottom-edge channel and b its top-edge channel. A part of one row takes its
// bottom-edge colour.
std::vector<Rgb> GradientRowColours(int height, Rgb top, Rgb middle, Rgb bottom);

}  // namespace pontexa::shell
