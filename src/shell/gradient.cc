#include "shell/gradient.h"

#include <algorithm>

namespace pontexa::shell {
namespace {

// numerator / denominator rounded to the nearest whole number, halves up; both
// are non-negative and the denominator is positive.
long long RoundedQuotient(long long numerator, long long denominator) {
  return (2 * numerator + denominator) / (2 * denominator);
}

std::uint8_t Channel(int a, int b, int i, int steps) {
  // a + (b - a)·i/steps, kept in whole numbers: a·steps + (b - a)·i is never
  // negative since it lies between a·steps and b·steps.
  const long long numerator = static_cast<long long>(a) * steps + static_cast<long long>(b - a) * i;
  return static_cast<std::uint8_t>(RoundedQuotient(numerator, steps));
}

// Fills rows [first, end) of `rows`, going from `top_colour` at the upper edge to
// `bottom_colour` at the lower edge.
void PaintPart(std::vector<Rgb>& rows, int first, int end, Rgb top_colour, Rgb bottom_colour) {
  const int h = end - first;
  if (h <= 0) return;
  const int n = std::min(h, 256);
  for (int i = 0; i < n; ++i) {
    Rgb colour = bottom_colour;
    if (n > 1) {
      colour = Rgb{Channel(bottom_colour.red, top_colour.red, i, n - 1),
                   Channel(bottom_colour.green, top_colour.green, i, n - 1),
                   Channel(bottom_colour.blue, top_colour.blue, i, n - 1)};
    }
    // Band bounds, counted upwards from the part's bottom edge.
    const long long low = RoundedQuotient(static_cast<long long>(h) * i, n);
    const long long high = RoundedQuotient(static_cast<long long>(h) * (i + 1), n);
    for (long long up = low; up < high; ++up) rows[end - 1 - up] = colour;
  }
}

}  // namespace

std::vector<Rgb> GradientRowColours(int height, Rgb top, Rgb middle, Rgb bottom) {
  if (height <= 0) return {};
  std::vector<Rgb> rows(height);
  const int split = height / 2;
  PaintPart(rows, 0, split, top, middle);
  PaintPart(rows, split, height, middle, bottom);
  return rows;
}

}  // namespace pontexa::shell
