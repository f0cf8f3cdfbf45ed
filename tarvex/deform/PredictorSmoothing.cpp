#include "deform/PredictorSmoothing.h"

#include <algorithm>
#include <cstddef>

namespace tarvex {

namespace {

// Value k of a line of n values spaced `step` apart, continued beyond both ends by point
// reflection about the end value (at most n - 1 values out).
float Reflected(const float* in, int n, ptrdiff_t step, int k) {
  if (k < 0) return 2.0f * in[0] - in[std::min(-k, n - 1) * step];
  if (k >= n) return 2.0f * in[(n - 1) * step] - in[std::max(2 * (n - 1) - k, 0) * step];
  return in[k * step];
}

// [1 2 1]/4 along a line, from `in` to `out`.
void FilterLineBinomial(const float* in, float* out, int n, ptrdiff_t step) {
  for (int k = 0; k < n; ++k)
    out[k * step] = 0.25f * (Reflected(in, n, step, k - 1) + 2.0f * in[k * step] +
                             Reflected(in, n, step, k + 1));
}

// [-1 4 10 4 -1]/16 along a line, from `in` to `out`.
void FilterLineFiveTap(const float* in, float* out, int n, ptrdiff_t step) {
  for (int k = 0; k < n; ++k) {
    const float outer = Reflected(in, n, step, k - 2) + Reflected(in, n, step, k + 2);
    const float inner = Reflected(in, n, step, k - 1) + Reflected(in, n, step, k + 1);
    out[k * step] = (10.0f * in[k * step] + 4.0f * inner - outer) * (1.0f / 16.0f);
  }
}

}  // namespace

void SmoothPredictorField(float* f, int nx, int ny, float* scratch, PredictorFilter filter) {
  if (filter == PredictorFilter::None || nx < 1 || ny < 1) return;
  const auto line = filter == PredictorFilter::Binomial ? FilterLineBinomial : FilterLineFiveTap;
  for (int i = 0; i < ny; ++i)
    line(f + static_cast<ptrdiff_t>(i) * nx, scratch + static_cast<ptrdiff_t>(i) * nx, nx, 1);
  for (int j = 0; j < nx; ++j) line(scratch + j, f + j, ny, nx);
}

}  // namespace tarvex
