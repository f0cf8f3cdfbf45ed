#include "deform/NormalisedMedianTest.h"

#include <algorithm>
#include <cmath>

namespace tarvex {

namespace {

constexpr int kMaxNeighbours = 8;
// Points of the 5 x 5 neighbourhood that can give the spread, the point itself left out.
constexpr int kMaxSpreadPoints = 24;

// Median of a[0..n-1], n from 1 to 24; a is reordered in place.
double Median(float* a, int n) {
  float* middle = a + n / 2;
  std::nth_element(a, middle, a + n);
  if (n % 2 == 1) return *middle;
  // The other middle value is the largest of those before it.
  return 0.5 * (static_cast<double>(*std::max_element(a, middle)) + *middle);
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

namespace {

// The neighbours of point (i, j): the measured ones, and in place of a missing one
// (beyond the border or unmeasured) its linear extrapolation from two measured points in
// line with it, along a column or a row that does not pass through (i, j) itself, else
// from the two points beyond (i, j) on the line through both, (i, j) itself never used.
// Without that, a border point of a field with a gradient has most of its neighbours on
// one side and its median residual looks like an outlier's.
class Neighbourhood {
 public:
  Neighbourhood(const float* f, const unsigned char* measured, int nx, int ny)
      : f_(f), measured_(measured), nx_(nx), ny_(ny) {}

  int Collect(int i, int j, float* out) const {
    int n = 0;
    for (int di = -1; di <= 1; ++di) {
      for (int dj = -1; dj <= 1; ++dj) {
        if (di == 0 && dj == 0) continue;
        float value;
        if (Known(i + di, j + dj, value) || Extrapolated(i, j, di, dj, value)) out[n++] = value;
      }
    }
    return n;
  }

 private:
  // A value that is not a number, or infinite, is no neighbour either.
  bool Known(int i, int j, float& value) const {
    if (i < 0 || i >= ny_ || j < 0 || j >= nx_ || !measured_[i * nx_ + j]) return false;
    value = f_[i * nx_ + j];
    return std::isfinite(value);
  }
  // 2 f(a) - f(b) for the two points a, b next to the missing diagonal neighbour on its
  // column or its row; else 3 f(a) - 2 f(b) for the points a, b one and two steps beyond
  // (i, j) on the line from the missing neighbour through (i, j).
  bool Extrapolated(int i, int j, int di, int dj, float& value) const {
    float a, b;
    if (di != 0 && dj != 0 && Known(i, j + dj, a) && Known(i - di, j + dj, b)) {
      value = 2.0f * a - b;
      return true;
    }
    if (di != 0 && dj != 0 && Known(i + di, j, a) && Known(i + di, j - dj, b)) {
      value = 2.0f * a - b;
      return true;
    }
    // Else along the line through (i, j), from the two points on its other side.
    if (Known(i - di, j - dj, a) && Known(i - 2 * di, j - 2 * dj, b)) {
      value = 3.0f * a - 2.0f * b;
      return true;
    }
    return false;
  }

  const float* f_;
  const unsigned char* measured_;
  int nx_, ny_;
};

// |f0 - median| / (median of |f_k - median| over the measured points of the 5 x 5
// neighbourhood + eps), the median that of the 3 x 3 neighbours `near`.
double WideResidual(const float* f, const unsigned char* measured, int nx, int ny, int i, int j,
                    const float* near, int n, double epsilon) {
  float sorted[kMaxNeighbours];
  for (int k = 0; k < n; ++k) sorted[k] = near[k];
  const double median = Median(sorted, n);
  float spread[kMaxSpreadPoints];
  int count = 0;
  for (int a = std::max(i - 2, 0); a <= std::min(i + 2, ny - 1); ++a)
    for (int b = std::max(j - 2, 0); b <= std::min(j + 2, nx - 1); ++b) {
      const float value = f[a * nx + b];
      if ((a == i && b == j) || !measured[a * nx + b] || !std::isfinite(value)) continue;
      spread[count++] = static_cast<float>(std::fabs(value - median));
    }
  const double typical = count > 0 ? Median(spread, count) : 0.0;
  return std::fabs(f[i * nx + j] - median) / (typical + epsilon);
}

}  // namespace

int NormalisedMedianTest(const float* u, const float* v, const unsigned char* measured, int nx,
                         int ny, const MedianTestSettings& settings, unsigned char* valid) {
  const Neighbourhood us(u, measured, nx, ny), vs(v, measured, nx, ny);
  const bool wide = settings.spread == MedianTestSpread::FiveByFive;
  int rejected = 0;
  for (int i = 0; i < ny; ++i) {
    for (int j = 0; j < nx; ++j) {
      const int k = i * nx + j;
      valid[k] = 0;
      if (!measured[k]) continue;
      float nu[kMaxNeighbours], nv[kMaxNeighbours];
      const int n = us.Collect(i, j, nu);
      vs.Collect(i, j, nv);
      double residual = NormalisedResidual(u[k], v[k], nu, nv, n, settings.epsilon);
      if (wide && n > 0) {
        const double ru = WideResidual(u, measured, nx, ny, i, j, nu, n, settings.epsilon);
        const double rv = WideResidual(v, measured, nx, ny, i, j, nv, n, settings.epsilon);
        residual = std::sqrt(ru * ru + rv * rv);
      }
      // Written so that a vector that is not a number fails too.
      if (std::isfinite(u[k]) && std::isfinite(v[k]) && residual <= settings.threshold)
        valid[k] = 1;
      else
        ++rejected;
    }
  }
  return rejected;
}

}  // namespace tarvex
