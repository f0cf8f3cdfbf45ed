#include "preprocess/IntensityCapping.h"

#include <algorithm>
#include <cmath>

namespace tarvex {

uint16_t IntensityCapping::Apply(uint16_t* image, const unsigned char* flow, size_t pixels) {
  constexpr size_t kValues = 65536;
  histogram_.assign(kValues, 0);
  uint32_t* h = histogram_.data();
  size_t n = 0;
  for (size_t i = 0; i < pixels; ++i) {
    if (flow != nullptr && flow[i] == 0) continue;
    h[image[i]]++;
    n++;
  }
  if (n == 0) return UINT16_MAX;
  // Exact sums: 65535^2 times 25 million pixels stays below 2^64.
  uint64_t sum = 0, squares = 0;
  size_t below = 0, median = 0;
  const size_t rank = (n + 1) / 2;
  for (size_t v = 0; v < kValues; ++v) {
    if (h[v] == 0) continue;
    if (below < rank && below + h[v] >= rank) median = v;
    below += h[v];
    sum += static_cast<uint64_t>(h[v]) * v;
    squares += static_cast<uint64_t>(h[v]) * v * v;
  }
  const double mean = static_cast<double>(sum) / static_cast<double>(n);
  const double variance = std::max(0.0, static_cast<double>(squares) / static_cast<double>(n) - mean * mean);
  const double cap = std::floor(static_cast<double>(median) + kCapDeviations * std::sqrt(variance));
  const uint16_t top = static_cast<uint16_t>(std::min(cap, 65535.0));
  for (size_t i = 0; i < pixels; ++i) image[i] = std::min(image[i], top);
  return top;
}

}  // namespace tarvex
