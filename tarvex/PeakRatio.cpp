#include "PeakRatio.h"

#include <cstdlib>

#include "FitPeak2SubPixel.h"

namespace {

// Stands for a ratio with no competing peak: far above any threshold.
constexpr float kUncontested = 1e6f;

}  // namespace

float SecondPeak(const float* plane, int nx, int ny, int ix, int iy) {
  float second = kNoPeakValue;
  for (int j = 1; j <= ny - 2; ++j) {
    const float* row = plane + static_cast<long>(j) * nx;
    for (int i = 1; i <= nx - 2; ++i) {
      const float v = row[i];
      if (v <= second || (std::abs(i - ix) <= 1 && std::abs(j - iy) <= 1)) continue;
      if (v > row[i - 1] && v > row[i + 1] && v > row[i - nx] && v > row[i + nx]) second = v;
    }
  }
  return second;
}

float PeakRatio(float best, float second) {
  return second > 0.0f ? best / second : kUncontested;
}
