#include "peaks/ThreePointGaussian.h"

#include <cmath>

namespace tarvex {

namespace {

// Stands in for values that are not positive, as in the least-squares fit.
constexpr double kLogFloor = 1e-5;
// An estimate further than this from the integer peak is not trusted.
constexpr double kAcceptanceDistance = 0.51;

// ln(value / maxv), with the floor for values that are not positive.
double LogRatio(float value, double maxv) {
  return std::log((value > 0.0f ? static_cast<double>(value) : kLogFloor) / maxv);
}

// Offset of the vertex of the parabola through (-1, lm), (0, l0), (1, lp); 0 when the
// three values do not describe a maximum or the vertex lies too far out.
double AxisOffset(double lm, double l0, double lp) {
  const double denominator = 2.0 * lm - 4.0 * l0 + 2.0 * lp;
  if (!(denominator < 0.0)) return 0.0;
  const double d = (lm - lp) / denominator;
  if (!std::isfinite(d) || std::fabs(d) > kAcceptanceDistance) return 0.0;
  return d;
}

// Displacement along one axis of a plane of `len` cells, as the least-squares fit reports it.
float AxisDisplacement(int centre, double offset, int len) {
  const float x = static_cast<float>(centre + offset);
  return (x - static_cast<float>(len / 2)) + 1.0f;
}

}  // namespace

void ThreePointGaussianPeak(const float* array, int nx, int ny, float* xloc, float* yloc,
                            float maxv) {
  const int ix = static_cast<int>(*xloc);
  const int iy = static_cast<int>(*yloc);
  double dx = 0.0;
  double dy = 0.0;
  // The search only reports interior cells; a search that found nothing reports (0, 0),
  // which has no neighbours on two sides and keeps the integer position.
  if (ix >= 1 && ix <= nx - 2 && iy >= 1 && iy <= ny - 2) {
    const double peak = maxv == 0.0f ? 1.0 : static_cast<double>(maxv);
    const float* c = array + static_cast<long>(iy) * nx + ix;
    const double l0 = LogRatio(c[0], peak);
    dx = AxisOffset(LogRatio(c[-1], peak), l0, LogRatio(c[1], peak));
    dy = AxisOffset(LogRatio(c[-nx], peak), l0, LogRatio(c[nx], peak));
  }
  *xloc = AxisDisplacement(ix, dx, nx);
  *yloc = AxisDisplacement(iy, dy, ny);
}

}  // namespace tarvex
