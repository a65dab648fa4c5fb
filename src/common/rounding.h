#pragma once

#include <cmath>
#include <cstdint>

namespace qv {

// Nearest whole number, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline int64_t RoundHalfEven(double value) {
  double floor = std::floor(value);
  double diff = value - floor;
  int64_t base = static_cast<int64_t>(floor);
  if (diff > 0.5) return base + 1;
  if (diff < 0.5) return base;
  return (base % 2 == 0) ? base : base + 1;
}

// Percentage of done out of total, rounded half to even, computed exactly in integers:
// 1 of 8 is 12, 3 of 8 is 38, 2 of 3 is 67.
inline int PercentHalfEven(int64_t done, int64_t total) {
  if (total <= 0) return 0;
  int64_t scaled = done * 100;
  int64_t quotient = scaled / total;
  int64_t twice_rest = (scaled % total) * 2;
  if (twice_rest > total || (twice_rest == total && quotient % 2 != 0)) ++quotient;
  return static_cast<int>(quotient);
}

}  // namespace qv
