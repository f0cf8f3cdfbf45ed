#include "CorrelationStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A side value the shift would push to zero or below is held at this fraction of the
// centre value, and one it would push to the centre value or above just below it: the
// Gaussian's vertex then lies at most half a cell out, as the estimate itself.
constexpr double kSideFloor = 1e-6;
constexpr double kSideCeiling = 1.0 - 1e-6;

// The vertex offset of the Gaussian through (-1, left), (0, centre), (1, right), three
// positive values of which the centre is the largest.
double GaussianVertex(double left, double centre, double right) {
  const double ll = std::log(left), lc = std::log(centre), lr = std::log(right);
  return (ll - lr) / (2.0 * ll - 4.0 * lc + 2.0 * lr);
}

// The three correlation values about the peak along one axis, and the spread of the
// blocks' contributions to the difference of the two side values.
struct AxisStatistics {
  double left = 0.0, centre = 0.0, right = 0.0;
  double spread = 0.0;
};

int Wrap(int i, int n) { return ((i % n) + n) % n; }

// (stepX, stepY) is (1, 0) for x and (0, 1) for y.
AxisStatistics Gather(const fftw_real* a, const fftw_real* b, int nx, int ny, int px, int py, int stepX,
                      int stepY) {
  AxisStatistics s;
  double sum = 0.0, sumSq = 0.0;
  int blocks = 0;
  for (int top = 0; top < ny; top += kStatisticsBlock) {
    for (int left = 0; left < nx; left += kStatisticsBlock) {
      double block = 0.0;
      for (int r = top; r < std::min(top + kStatisticsBlock, ny); ++r) {
        const fftw_real* rowA = a + static_cast<long>(r) * nx;
        const fftw_real* rowANext = a + static_cast<long>(Wrap(r + stepY, ny)) * nx;
        const fftw_real* rowB = b + static_cast<long>(Wrap(r + py, ny)) * nx;
        const fftw_real* rowBNext = b + static_cast<long>(Wrap(r + py + stepY, ny)) * nx;
        for (int c = left; c < std::min(left + kStatisticsBlock, nx); ++c) {
          const double here = rowA[c], next = rowANext[Wrap(c + stepX, nx)];
          const double matched = rowB[Wrap(c + px, nx)], ahead = rowBNext[Wrap(c + px + stepX, nx)];
          s.centre += here * matched;
          s.right += here * ahead;
          s.left += next * matched;
          block += here * ahead - next * matched;
        }
      }
      sum += block;
      sumSq += block * block;
      ++blocks;
    }
  }
  s.spread = std::sqrt(std::fmax(sumSq - sum * sum / blocks, 0.0));
  return s;
}

float AxisSigma(const AxisStatistics& s) {
  if (!(s.centre > 0.0)) return std::numeric_limits<float>::quiet_NaN();
  const double h = 0.5 * s.spread;
  auto side = [&](double value) {
    return std::fmin(std::fmax(value, kSideFloor * s.centre), kSideCeiling * s.centre);
  };
  const double up = GaussianVertex(side(s.left - h), s.centre, side(s.right + h));
  const double down = GaussianVertex(side(s.left + h), s.centre, side(s.right - h));
  return static_cast<float>(0.5 * std::fabs(up - down));
}

}  // namespace

ComponentSigma CorrelationStatisticsSigma(const fftw_real* a, const fftw_real* b, int nx, int ny,
                                          int px, int py) {
  return {AxisSigma(Gather(a, b, nx, ny, px, py, 1, 0)), AxisSigma(Gather(a, b, nx, ny, px, py, 0, 1))};
}
