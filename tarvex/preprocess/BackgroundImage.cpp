#include "preprocess/BackgroundImage.h"

namespace tarvex {

void SubtractBackground(const BackgroundImage& background, const uint16_t* in, uint16_t* out) {
  const size_t pixels = background.Pixels();
  const int64_t n = background.divisor;
  const uint32_t* sums = background.sums.data();
  if (n == 1) {
    for (size_t i = 0; i < pixels; ++i) out[i] = in[i] > sums[i] ? static_cast<uint16_t>(in[i] - sums[i]) : 0;
    return;
  }
  // in - sum / n rounded half up is floor((2 (n in - sum) + n) / (2 n)); below 0 it is clamped.
  for (size_t i = 0; i < pixels; ++i) {
    const int64_t twice = 2 * (n * in[i] - static_cast<int64_t>(sums[i])) + n;
    out[i] = twice < 0 ? 0 : static_cast<uint16_t>(twice / (2 * n));
  }
}

}  // namespace tarvex
