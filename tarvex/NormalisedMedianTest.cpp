#include "NormalisedMedianTest.h"

#include <cmath>

namespace {

constexpr int kMaxNeighbours = 8;

// Median of a[0..n-1], n from 1 to 8; a is sorted in place (insertion sort: at most 8).
double Median(float* a, int n) {
  for (int i = 1; i < n; ++i) {
    const float x = a[i];
    int j = i - 1;
    for (; j >= 0 && a[j] > x; --j) a[j + 1] = a[j];
    a[j + 1] = x;
  }
  return n % 2 == 1 ? a[n / 2] : 0.5 * (static_cast<double>(a[n / 2 - 1]) + a[n / 2]);
}

// |x0 - median| / (median of |x_k - median| + eps) for one component.
double ComponentResidual(float x0, const float* x, int n, double epsilon) {
  float sorted[kMaxNeighbours];
  for (int k = 0; k < n; ++k) sorted[k] = x[k];
  const double median = Median(sorted, n);
  float spread[kMaxNeighbours];
  for (int k = 0; k < n; ++k) spread[k] = static_cast<float>(std::fabs(x[k] - median));
  return std::fabs(x0 - median) / (Median(spread, n) + epsilon);
}

}  // namespace

double NormalisedResidual(float u0, float v0, const float* u, const float* v, int n, double epsilon) {
  if (n < 1) return 0.0;
  const double ru = ComponentResidual(u0, u, n, epsilon);
  const double rv = ComponentResidual(v0, v, n, epsilon);
  return std::sqrt(ru * ru + rv * rv);
}

int NormalisedMedianTest(const float* u, const float* v, const unsigned char* measured, int nx,
                         int ny, const MedianTestSettings& settings, unsigned char* valid) {
  int rejected = 0;
  for (int i = 0; i < ny; ++i) {
    for (int j = 0; j < nx; ++j) {
      const int k = i * nx + j;
      valid[k] = 0;
      if (!measured[k]) continue;
      float nu[kMaxNeighbours], nv[kMaxNeighbours];
      int n = 0;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          const int ii = i + di, jj = j + dj;
          if ((di == 0 && dj == 0) || ii < 0 || ii >= ny || jj < 0 || jj >= nx) continue;
          const int q = ii * nx + jj;
          if (!measured[q]) continue;
          nu[n] = u[q];
          nv[n] = v[q];
          ++n;
        }
      }
      if (NormalisedResidual(u[k], v[k], nu, nv, n, settings.epsilon) > settings.threshold)
        ++rejected;
      else
        valid[k] = 1;
    }
  }
  return rejected;
}
