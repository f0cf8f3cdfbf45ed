#include "PredictorSmoothing.h"

#include <cstddef>

namespace {

// [1 2 1]/4 along a line of n values spaced `step` apart, from `in` to `out`; the end
// values stay, as a linear extension beyond them gives.
void FilterLine(const float* in, float* out, int n, ptrdiff_t step) {
  out[0] = in[0];
  if (n < 2) return;
  for (int k = 1; k < n - 1; ++k)
    out[k * step] = 0.25f * (in[(k - 1) * step] + 2.0f * in[k * step] + in[(k + 1) * step]);
  out[(n - 1) * step] = in[(n - 1) * step];
}

}  // namespace

void SmoothPredictorField(float* f, int nx, int ny, float* scratch) {
  for (int i = 0; i < ny; ++i) FilterLine(f + static_cast<ptrdiff_t>(i) * nx, scratch + static_cast<ptrdiff_t>(i) * nx, nx, 1);
  for (int j = 0; j < nx; ++j) FilterLine(scratch + j, f + j, ny, nx);
}
