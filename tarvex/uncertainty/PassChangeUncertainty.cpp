#include "uncertainty/PassChangeUncertainty.h"

#include <cmath>

namespace tarvex {

namespace {

constexpr int kNeighbourhood = 9;

// The median of n (1..9) values, sorted in place.
float Median(float* values, int n) {
  for (int i = 1; i < n; ++i)
    for (int j = i; j > 0 && values[j - 1] > values[j]; --j) {
      const float t = values[j];
      values[j] = values[j - 1];
      values[j - 1] = t;
    }
  return n % 2 == 1 ? values[n / 2] : 0.5f * (values[n / 2 - 1] + values[n / 2]);
}

float Combined(float sigma, float change) { return std::sqrt(sigma * sigma + change * change); }

}  // namespace

void AddLastPassChange(const float* u, const float* v, const float* predictedU, const float* predictedV,
                       const unsigned char* measured, int nx, int ny, float* sigmaU, float* sigmaV) {
  for (int i = 0; i < ny; ++i) {
    for (int j = 0; j < nx; ++j) {
      const int k = i * nx + j;
      if (!measured[k]) continue;
      float changeU[kNeighbourhood], changeV[kNeighbourhood];
      int n = 0;
      for (int ii = i - 1; ii <= i + 1; ++ii) {
        for (int jj = j - 1; jj <= j + 1; ++jj) {
          if (ii < 0 || ii >= ny || jj < 0 || jj >= nx) continue;
          const int m = ii * nx + jj;
          if (!measured[m]) continue;
          changeU[n] = u[m] - predictedU[m];
          changeV[n] = v[m] - predictedV[m];
          ++n;
        }
      }
      sigmaU[k] = Combined(sigmaU[k], Median(changeU, n));
      sigmaV[k] = Combined(sigmaV[k], Median(changeV, n));
    }
  }
}

}  // namespace tarvex
