#include "uncertainty/CorrelationStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvex {

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

// Sums of the blocks' contributions along one axis and of their squares.
struct BlockSums {
  double sum = 0.0, sumSq = 0.0;
  void Add(double block) {
    sum += block;
    sumSq += block * block;
  }
  double Spread(int blocks) const { return std::sqrt(std::fmax(sumSq - sum * sum / blocks, 0.0)); }
};

int Wrap(int i, int n) { return ((i % n) + n) % n; }

// What one row r of a block reads: a's rows r and r + 1, b's rows r + py and r + py + 1.
struct RowSet {
  const fftw_real *a, *aBelow, *b, *bBelow;
};

}  // namespace

ComponentSigma CorrelationStatisticsSigma(const fftw_real* a, const fftw_real* b, int nx, int ny,
                                          int px, int py) {
  // One sweep serves both axes: x pairs a pixel with its right neighbour, y with the one below.
  AxisStatistics x, y;
  BlockSums blocksX, blocksY;
  int blocks = 0;
  const int shiftX = Wrap(px, nx);
  for (int top = 0; top < ny; top += kStatisticsBlock) {
    const int rows = std::min(kStatisticsBlock, ny - top);
    RowSet set[kStatisticsBlock];
    for (int i = 0; i < rows; ++i) {
      const int r = top + i;
      set[i] = {a + static_cast<long>(r) * nx, a + static_cast<long>(Wrap(r + 1, ny)) * nx,
                b + static_cast<long>(Wrap(r + py, ny)) * nx, b + static_cast<long>(Wrap(r + py + 1, ny)) * nx};
    }
    for (int left = 0; left < nx; left += kStatisticsBlock) {
      const int end = std::min(left + kStatisticsBlock, nx);
      double blockX = 0.0, blockY = 0.0;
      for (int i = 0; i < rows; ++i) {
        const RowSet& rs = set[i];
        int cb = left + shiftX;  // b's column matching column c of a, wrapped
        if (cb >= nx) cb -= nx;
        for (int c = left; c < end; ++c) {
          const int cNext = c + 1 == nx ? 0 : c + 1;
          const int cbNext = cb + 1 == nx ? 0 : cb + 1;
          const double here = rs.a[c], matched = rs.b[cb];
          const double rightX = here * rs.b[cbNext], leftX = rs.a[cNext] * matched;
          const double rightY = here * rs.bBelow[cb], leftY = rs.aBelow[c] * matched;
          x.centre += here * matched;
          x.right += rightX;
          x.left += leftX;
          y.right += rightY;
          y.left += leftY;
          blockX += rightX - leftX;
          blockY += rightY - leftY;
          cb = cbNext;
        }
      }
      blocksX.Add(blockX);
      blocksY.Add(blockY);
      ++blocks;
    }
  }
  y.centre = x.centre;
  x.spread = blocksX.Spread(blocks);
  y.spread = blocksY.Spread(blocks);
  return {AxisSigma(x), AxisSigma(y)};
}

}  // namespace tarvex
