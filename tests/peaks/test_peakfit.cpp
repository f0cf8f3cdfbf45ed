// Integer peak search, slope-walk neighbourhoods, the Gaussian sub-pixel fit and the
// blanking of found peaks, on small hand-made correlation planes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "peaks/FitPeak2SubPixel.h"

namespace tarvex {

namespace {

struct Plane {
  int nx, ny;
  std::vector<float> v;
  Plane(int w, int h, float fill = 0.0f) : nx(w), ny(h), v(w * h, fill) {}
  float& at(int i, int j) { return v[j * nx + i]; }
  float* data() { return v.data(); }
};

// A separable plane px[i] * py[j].
Plane Product(const std::vector<float>& px, const std::vector<float>& py) {
  Plane p(static_cast<int>(px.size()), static_cast<int>(py.size()));
  for (int j = 0; j < p.ny; ++j)
    for (int i = 0; i < p.nx; ++i) p.at(i, j) = px[i] * py[j];
  return p;
}

std::vector<float> Gaussian(int n, float centre, float sigma) {
  std::vector<float> g(n);
  for (int i = 0; i < n; ++i)
    g[i] = std::exp(-(i - centre) * (i - centre) / (2.0f * sigma * sigma));
  return g;
}

// --- integer search ------------------------------------------------------------------

TEST(SearchIntPeak, IgnoresTheOutermostRowsAndColumns) {
  Plane p(8, 8);
  p.at(0, 3) = 9.0f;  // column 0
  p.at(4, 7) = 8.0f;  // last row
  p.at(7, 2) = 7.0f;  // last column
  p.at(3, 5) = 2.0f;
  float x = -1, y = -1;
  EXPECT_EQ(search_CCIntPeak(p.data(), 8, 8, &x, &y), 2.0f);
  EXPECT_EQ(x, 3.0f);
  EXPECT_EQ(y, 5.0f);
}

TEST(SearchIntPeak, TieGoesToTheFirstInRowThenColumnOrder) {
  Plane p(10, 10);
  p.at(7, 3) = 1.0f;
  p.at(2, 6) = 1.0f;
  p.at(5, 3) = 1.0f;
  float x, y;
  EXPECT_EQ(search_CCIntPeak(p.data(), 10, 10, &x, &y), 1.0f);
  EXPECT_EQ(x, 5.0f);
  EXPECT_EQ(y, 3.0f);
}

TEST(SearchIntPeak, PlateauAndUniformPlaneHoldNoCandidate) {
  Plane p(8, 8, 0.5f);
  float x = -1, y = -1;
  EXPECT_EQ(search_CCIntPeak(p.data(), 8, 8, &x, &y), kNoPeakValue);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 0.0f);
  // Two equal neighbouring cells: neither is strictly above the other.
  p.at(3, 3) = p.at(4, 3) = 2.0f;
  EXPECT_EQ(search_CCIntPeak(p.data(), 8, 8, &x, &y), kNoPeakValue);
  // Not a number is never a candidate either.
  Plane q(8, 8, NAN);
  EXPECT_EQ(search_CCIntPeak(q.data(), 8, 8, &x, &y), kNoPeakValue);
}

// --- neighbourhood -------------------------------------------------------------------

// A 32 x 32 plane with the given profile along row 16; every other row is 0.
Plane RowProfile(const std::vector<std::pair<int, float>>& cells) {
  Plane p(32, 32);
  for (auto [i, v] : cells) p.at(i, 16) = v;
  return p;
}

PeakNeighbourhood Fit(Plane& p, int ix, int iy, float maxv) {
  return SelectPeakNeighbourhood(p.data(), p.nx, p.ny, ix, iy, maxv, NeighbourhoodUse::Fit);
}

TEST(Neighbourhood, WidthIsTheMeanOfTheTwoSlopeCounts) {
  // Left slope of 3 cells (9, 8, 7; cell 6 is level with 5), right slope of 2 (11, 12).
  Plane a = RowProfile({{5, 2}, {6, 2}, {7, 4}, {8, 6}, {9, 8}, {10, 10}, {11, 7}, {12, 5},
                        {13, 3}, {14, 3}});
  PeakNeighbourhood nb = Fit(a, 10, 16, 10.0f);
  EXPECT_EQ(nb.x0, 8);
  EXPECT_EQ(nb.lenx, 5);

  // Counts 1 and 0 give a width of 1, widened to 3 about the centre.
  Plane b = RowProfile({{7, 1}, {8, 1}, {9, 5}, {10, 10}, {11, 6}, {12, 6}});
  nb = Fit(b, 10, 16, 10.0f);
  EXPECT_EQ(nb.x0, 9);
  EXPECT_EQ(nb.lenx, 3);

  // Counts 6 and 6: columns 4 to 16.
  Plane c(32, 32);
  for (int i = 0; i < 32; ++i) c.at(i, 16) = 1.0f;
  for (int k = 0; k <= 6; ++k) c.at(10 - k, 16) = c.at(10 + k, 16) = 20.0f - 2.0f * k;
  nb = Fit(c, 10, 16, 20.0f);
  EXPECT_EQ(nb.x0, 4);
  EXPECT_EQ(nb.lenx, 13);
}

TEST(Neighbourhood, CellsAtOrBelowOnePercentOfThePeakDoNotCount) {
  // A strictly falling slope whose third cell is exactly 1 % of the peak.
  Plane p = RowProfile({{6, 0.001f}, {7, 0.01f}, {8, 0.5f}, {9, 0.8f}, {10, 1.0f},
                        {11, 0.8f}, {12, 0.5f}, {13, 0.01f}, {14, 0.001f}});
  PeakNeighbourhood nb = Fit(p, 10, 16, 1.0f);
  EXPECT_EQ(nb.x0, 8);
  EXPECT_EQ(nb.lenx, 5);
}

TEST(Neighbourhood, RowsWalkAlongTheCentreColumn) {
  Plane p(32, 32);
  const float col[] = {0, 3, 5, 7, 9, 7, 5, 3, 1, 1};  // rows 8..17, peak at row 12
  for (int k = 0; k < 10; ++k) p.at(20, 8 + k) = col[k];
  PeakNeighbourhood nb = Fit(p, 20, 12, 9.0f);
  EXPECT_EQ(nb.y0, 9);
  EXPECT_EQ(nb.leny, 7);
  EXPECT_EQ(nb.x0, 19);  // the row through the peak has no slope
  EXPECT_EQ(nb.lenx, 3);
}

TEST(Neighbourhood, EdgePeaksUseTheThreeOutermostCells) {
  Plane p(32, 32, 1.0f);
  PeakNeighbourhood nb = Fit(p, 1, 1, 1.0f);
  EXPECT_EQ(nb.x0, 0);
  EXPECT_EQ(nb.lenx, 3);
  EXPECT_EQ(nb.y0, 0);
  EXPECT_EQ(nb.leny, 3);
  nb = Fit(p, 30, 30, 1.0f);
  EXPECT_EQ(nb.x0, 29);
  EXPECT_EQ(nb.lenx, 3);
  EXPECT_EQ(nb.y0, 29);
  EXPECT_EQ(nb.leny, 3);
}

TEST(Neighbourhood, SlopeWalkStopsBeforeTheEdgeCell) {
  // Row 0 falls all the way to both ends, whose cells have nothing beyond them and do not
  // count: left 1 (column 1), right 2 (columns 3, 4), width 3 at columns 1..3. Reading
  // beyond an end would leave the buffer, which the sanitizer build catches.
  std::vector<float> row = {1, 2, 9, 5, 3, 1};
  std::vector<float> buf(row.size() * 3, 0.0f);
  for (size_t i = 0; i < row.size(); ++i) buf[i] = row[i];
  PeakNeighbourhood nb =
      SelectPeakNeighbourhood(buf.data(), 6, 3, 2, 0, 9.0f, NeighbourhoodUse::Fit);
  EXPECT_EQ(nb.x0, 1);
  EXPECT_EQ(nb.lenx, 3);
  // The same at the right edge, on the last row.
  std::vector<float> buf2(row.size() * 3, 0.0f);
  for (size_t i = 0; i < row.size(); ++i) buf2[12 + i] = row[row.size() - 1 - i];
  nb = SelectPeakNeighbourhood(buf2.data(), 6, 3, 3, 2, 9.0f, NeighbourhoodUse::Fit);
  EXPECT_EQ(nb.x0, 2);
  EXPECT_EQ(nb.lenx, 3);
}

TEST(Neighbourhood, BlankingAlsoResetsAColumnStartOfZero) {
  // Centre column 3 with slopes of 2 (column 0 does not count) and 4: 7 columns from 0.
  Plane p = RowProfile(
      {{0, 1}, {1, 2}, {2, 3}, {3, 5}, {4, 4}, {5, 3}, {6, 2}, {7, 1.5f}, {8, 1}, {9, 1}});
  PeakNeighbourhood fit = Fit(p, 3, 16, 5.0f);
  EXPECT_EQ(fit.x0, 0);
  EXPECT_EQ(fit.lenx, 7);
  PeakNeighbourhood blank =
      SelectPeakNeighbourhood(p.data(), 32, 32, 3, 16, 5.0f, NeighbourhoodUse::Blank);
  EXPECT_EQ(blank.x0, 0);
  EXPECT_EQ(blank.lenx, 3);
  // Rows reset only below 0, for blanking too.
  Plane q(32, 32);
  const float col[] = {1, 2, 3, 5, 4, 3, 2, 1.5f, 1, 1};
  for (int k = 0; k < 10; ++k) q.at(16, k) = col[k];
  blank = SelectPeakNeighbourhood(q.data(), 32, 32, 16, 3, 5.0f, NeighbourhoodUse::Blank);
  EXPECT_EQ(blank.y0, 0);
  EXPECT_EQ(blank.leny, 7);
}

// --- sub-pixel fit -------------------------------------------------------------------

TEST(SubData, CopiesTheRequestedRectangle) {
  Plane p(5, 4);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) p.at(i, j) = 10.0f * j + i;
  float* s = subdata(p.data(), 5, 4, 1, 2, 3, 2);
  const float expect[] = {21, 22, 23, 31, 32, 33};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(s[k], expect[k]);
  free(s);
}

TEST(GaussianFit, NonPositiveValuesUseTheFloorAndZeroPeakIsOne) {
  std::vector<float> zeros(9, 0.0f);
  zeros[4] = -1.0f;
  float* a = TwoDGaussianFit(zeros.data(), 3, 3, 1.0f);
  ASSERT_NE(a, nullptr);
  EXPECT_NEAR(a[0], std::log(1e-5), 1e-4);
  for (int k = 1; k < 5; ++k) EXPECT_NEAR(a[k], 0.0f, 1e-4);
  free(a);

  Plane g = Product(Gaussian(5, 2.3f, 1.2f), Gaussian(5, 1.8f, 1.0f));
  float* with_one = TwoDGaussianFit(g.data(), 5, 5, 1.0f);
  float* with_zero = TwoDGaussianFit(g.data(), 5, 5, 0.0f);
  ASSERT_NE(with_one, nullptr);
  ASSERT_NE(with_zero, nullptr);
  for (int k = 0; k < 5; ++k) {
    EXPECT_TRUE(std::isfinite(with_zero[k]));
    EXPECT_EQ(with_zero[k], with_one[k]);
  }
  // ln of a Gaussian is the quadratic: its vertex is the centre.
  EXPECT_NEAR(-with_one[1] / (2 * with_one[2]), 2.3f, 1e-3);
  EXPECT_NEAR(-with_one[3] / (2 * with_one[4]), 1.8f, 1e-3);
  free(with_one);
  free(with_zero);
}

TEST(FitLinearExp, RecoversASubPixelGaussianPeak) {
  // Centre at column 14.3, row 17.8 of a 32 x 32 plane: displacement (-0.7, 2.8).
  Plane p = Product(Gaussian(32, 14.3f, 1.6f), Gaussian(32, 17.8f, 2.0f));
  float x, y;
  const float maxv = search_CCIntPeak(p.data(), 32, 32, &x, &y);
  EXPECT_EQ(x, 14.0f);
  EXPECT_EQ(y, 18.0f);
  CC_fit_linear_exp(p.data(), 32, 32, &x, &y, maxv);
  EXPECT_NEAR(x, -0.7f, 0.01f);
  EXPECT_NEAR(y, 2.8f, 0.01f);
}

TEST(FitLinearExp, SingleBrightCellWithSymmetricNeighbours) {
  Plane p(32, 32);
  p.at(20, 12) = 0.9f;
  p.at(19, 12) = p.at(21, 12) = p.at(20, 11) = p.at(20, 13) = 0.4f;
  float x, y;
  const float maxv = search_CCIntPeak(p.data(), 32, 32, &x, &y);
  EXPECT_EQ(maxv, 0.9f);
  CC_fit_linear_exp(p.data(), 32, 32, &x, &y, maxv);
  EXPECT_NEAR(x, 5.0f, 1e-4);
  EXPECT_NEAR(y, -3.0f, 1e-4);
}

TEST(FitLinearExp, FitFurtherThanHalfAPixelFallsBackPerAxis) {
  // Along x the log profile over columns 8..12 is nearly flat on the left and drops
  // steeply on the right: the fitted vertex lies about 2 columns left of 10.
  std::vector<float> px(32, 1e-6f);
  const float lx[] = {-0.01f, -0.005f, 0.0f, -3.0f, -3.01f};
  for (int k = 0; k < 5; ++k) px[8 + k] = std::exp(lx[k]);
  px[7] = px[13] = 1e-3f;
  // Along y an ordinary Gaussian at row 16.2.
  Plane p = Product(px, Gaussian(32, 16.2f, 1.5f));
  float x, y;
  const float maxv = search_CCIntPeak(p.data(), 32, 32, &x, &y);
  ASSERT_EQ(x, 10.0f);
  ASSERT_EQ(y, 16.0f);
  CC_fit_linear_exp(p.data(), 32, 32, &x, &y, maxv);
  EXPECT_EQ(x, -5.0f);  // integer peak 10 - 15
  EXPECT_NEAR(y, 1.2f, 0.01f);
}

TEST(FitLinearExp, NoPeakGivesTheFiniteIntegerPosition) {
  Plane p(32, 32, 0.25f);
  float x, y;
  const float maxv = search_CCIntPeak(p.data(), 32, 32, &x, &y);
  ASSERT_EQ(maxv, kNoPeakValue);
  CC_fit_linear_exp(p.data(), 32, 32, &x, &y, maxv);
  EXPECT_EQ(x, -15.0f);
  EXPECT_EQ(y, -15.0f);
}

// --- blanking ------------------------------------------------------------------------

TEST(BlankPeakArea, ZeroesExactlyTheNeighbourhood) {
  Plane p = Product(Gaussian(32, 12.0f, 1.0f), Gaussian(32, 20.0f, 1.0f));
  Plane before = p;
  BlankPeakArea(p.data(), 32, 32, 12.0f, 20.0f, 1.0f);
  // exp(-k^2 / 2) is above 1 % for k <= 3: each slope counts 3 cells, giving columns
  // 9..15 and rows 17..23.
  const PeakNeighbourhood nb = SelectPeakNeighbourhood(before.data(), 32, 32, 12, 20, 1.0f,
                                                       NeighbourhoodUse::Blank);
  EXPECT_EQ(nb.x0, 9);
  EXPECT_EQ(nb.lenx, 7);
  EXPECT_EQ(nb.y0, 17);
  EXPECT_EQ(nb.leny, 7);
  for (int j = 0; j < 32; ++j)
    for (int i = 0; i < 32; ++i) {
      const bool inside = i >= 9 && i <= 15 && j >= 17 && j <= 23;
      EXPECT_EQ(p.at(i, j), inside ? 0.0f : before.at(i, j)) << i << "," << j;
    }
}

TEST(BlankPeakArea, FourPeaksAreFoundOneAfterAnother) {
  Plane p(32, 32);
  const int px[] = {8, 22, 12, 25};
  const int py[] = {6, 9, 20, 26};
  const float h[] = {0.9f, 0.8f, 0.7f, 0.6f};
  for (int k = 0; k < 4; ++k) {
    p.at(px[k], py[k]) = h[k];
    p.at(px[k] - 1, py[k]) = p.at(px[k] + 1, py[k]) = 0.5f * h[k];
    p.at(px[k], py[k] - 1) = p.at(px[k], py[k] + 1) = 0.5f * h[k];
  }
  Plane fit = p;
  for (int k = 0; k < 4; ++k) {
    float x, y;
    const float maxv = search_CCIntPeak(p.data(), 32, 32, &x, &y);
    EXPECT_EQ(maxv, h[k]);
    CC_fit_linear_exp(fit.data(), 32, 32, &x, &y, maxv);
    EXPECT_NEAR(x, px[k] - 15.0f, 1e-4);
    EXPECT_NEAR(y, py[k] - 15.0f, 1e-4);
    BlankPeakArea(p.data(), 32, 32, 15.0f + x, 15.0f + y, maxv);
    EXPECT_EQ(p.at(px[k], py[k]), 0.0f);
  }
  // Only flank cells the blanks left (at most half a peak) remain.
  float x, y;
  EXPECT_LE(search_CCIntPeak(p.data(), 32, 32, &x, &y), 0.45f);
}

}  // namespace

}  // namespace tarvex
