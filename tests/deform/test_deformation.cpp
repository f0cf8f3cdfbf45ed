// The predictor (worked example, linear fields at every pixel, the half-pixel window
// centre) and the symmetric deformation of a smooth image shifted by a known sub-pixel
// amount, against the analytically shifted image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "deform/BSplineImage.h"
#include "deform/DisplacementPredictor.h"
#include "deform/SymmetricDeformation.h"

namespace tarvex {

namespace {

// Evaluates the predictor over a whole image, row after row.
void PredictAll(const DisplacementPredictor& p, int width, int height, std::vector<float>& u,
                std::vector<float>& v) {
  u.assign(static_cast<size_t>(width) * height, 0.0f);
  v.assign(u.size(), 0.0f);
  std::vector<float> scratch(static_cast<size_t>(DisplacementPredictor::ScratchFloats(p.GridColumns())));
  for (int y = 0; y < height; ++y) p.Row(y, &u[y * width], &v[y * width], scratch.data());
}

TEST(DisplacementPredictor, WorkedExampleOfTheHeader) {
  // Two points of 32-pixel windows every 16 px: centres at 15.5 and 31.5.
  VectorGrid g;
  g.nx = 2;
  g.ny = 1;
  g.x0 = 15.5;
  g.y0 = 15.5;
  g.dx = g.dy = 16;
  const float u[] = {1.0f, 3.0f}, v[] = {0.0f, 0.0f};
  DisplacementPredictor p;
  ASSERT_TRUE(p.Set(g, u, v, PredictorInterpolation::Bilinear, 48));
  std::vector<float> pu, pv;
  PredictAll(p, 48, 3, pu, pv);
  EXPECT_NEAR(pu[23], 1.9375f, 1e-6);
  EXPECT_NEAR(pu[0], -0.9375f, 1e-6);
  EXPECT_NEAR(pu[47], 1.0 + 2.0 * (47 - 15.5) / 16.0, 1e-5);
  EXPECT_NEAR(pu[2 * 48 + 23], 1.9375f, 1e-6);  // one grid row: the same on every row
}

// u = a + b x + c y at the window centres of a 6 x 5 grid of 32-pixel windows every 16 px.
struct LinearField {
  double a = 0.7, b = 0.02, c = -0.015;
  double At(double x, double y) const { return a + b * x + c * y; }
};

// The centres of 32 x 32 windows every 16 px, 6 by 5 of them: (15.5, 15.5) to (95.5, 79.5).
VectorGrid SixByFiveGrid() {
  VectorGrid g;
  g.nx = 6;
  g.ny = 5;
  g.x0 = 15.5;
  g.y0 = 15.5;
  g.dx = g.dy = 16;
  return g;
}

// sign * f at every centre of g, row after row.
std::vector<float> AtCentres(const LinearField& f, const VectorGrid& g, double sign) {
  std::vector<float> values;
  for (int i = 0; i < g.ny; ++i)
    for (int j = 0; j < g.nx; ++j) values.push_back(static_cast<float>(sign * f.At(g.x0 + g.dx * j, g.y0 + g.dy * i)));
  return values;
}

TEST(DisplacementPredictor, ReproducesALinearFieldAtEveryPixel) {
  const VectorGrid g = SixByFiveGrid();
  const LinearField f;
  const std::vector<float> u = AtCentres(f, g, 1.0), v = AtCentres(f, g, -1.0);
  const int w = 112, h = 96;  // exactly the image the windows cover
  DisplacementPredictor p;
  ASSERT_TRUE(p.Set(g, u.data(), v.data(), PredictorInterpolation::Bilinear, w));
  std::vector<float> pu, pv;
  PredictAll(p, w, h, pu, pv);
  // A window centre taken at x instead of x + 0.5 would be off by 0.01 px here.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      ASSERT_NEAR(pu[y * w + x], f.At(x, y), 1e-5) << x << "," << y;
      ASSERT_NEAR(pv[y * w + x], -f.At(x, y), 1e-5) << x << "," << y;
    }
  // The cubic predictor too, also beyond the outermost centres: its ghost nodes continue
  // the gradient (the mirror boundary at the far end of the ghost nodes disturbs it by
  // nothing beyond float rounding here).
  ASSERT_TRUE(p.Set(g, u.data(), v.data(), PredictorInterpolation::CubicBSpline, w));
  PredictAll(p, w, h, pu, pv);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_NEAR(pu[y * w + x], f.At(x, y), 1e-5) << x << "," << y;
}

TEST(DisplacementPredictor, CubicGhostNodesOfTheHeader) {
  // The row u = 1, 3, 4: the spline passes through its ghost nodes -2, -5, -8 one, two
  // and three spacings left of it.
  VectorGrid g;
  g.nx = 3;
  g.ny = 1;
  g.x0 = 55.5;
  g.y0 = 15.5;
  g.dx = g.dy = 16;
  const float u[] = {1.0f, 3.0f, 4.0f}, v[] = {0.0f, 0.0f, 0.0f};
  DisplacementPredictor p;
  ASSERT_TRUE(p.Set(g, u, v, PredictorInterpolation::CubicBSpline, 120));
  float au = 0, av = 0;
  const double expected[] = {1.0, -2.0, -5.0, -8.0};
  for (int k = 0; k < 4; ++k) {
    p.At(55.5 - 16.0 * k, 15.5, &au, &av);
    EXPECT_NEAR(au, expected[k], 1e-4) << k;
  }
  p.At(87.5, 15.5, &au, &av);  // and through the vectors themselves
  EXPECT_NEAR(au, 4.0, 1e-5);
}

TEST(DisplacementPredictor, CubicFollowsAWaveOfSixSpacings) {
  // sin(2 pi j / 6) at 40 centres 16 px apart: the header's figures, far from the ends.
  VectorGrid g;
  g.nx = 40;
  g.ny = 3;
  g.x0 = g.y0 = 15.5;
  g.dx = g.dy = 16;
  std::vector<float> u(120), v(120, 0.0f);
  for (int k = 0; k < 120; ++k) u[k] = static_cast<float>(std::sin(2 * M_PI * (k % 40) / 6.0));
  const auto worst = [&](PredictorInterpolation how) {
    DisplacementPredictor p;
    EXPECT_TRUE(p.Set(g, u.data(), v.data(), how, 660));
    double largest = 0.0;
    for (double x = 15.5 + 160; x < 15.5 + 480; x += 0.5) {
      float au = 0, av = 0;
      p.At(x, 31.5, &au, &av);
      largest = std::max(largest, std::fabs(au - std::sin(2 * M_PI * (x - 15.5) / 96.0)));
    }
    return largest;
  };
  EXPECT_LT(worst(PredictorInterpolation::CubicBSpline), 0.005);
  EXPECT_GT(worst(PredictorInterpolation::Bilinear), 0.13);
}

// A smooth pattern of blobs and waves, in counts.
double Pattern(double x, double y) {
  return 1500.0 + 700.0 * std::sin(2 * M_PI * x / 13.0 + 0.4) * std::cos(2 * M_PI * y / 17.0) +
         900.0 * std::exp(-((x - 30.3) * (x - 30.3) + (y - 27.8) * (y - 27.8)) / 18.0);
}

// The deformed images of a pair moved by (du, dv): both should show the pattern at
// p - d/2, the first image's content moved half-way.
double LargestDeformationError(BSplineDegree degree, double du, double dv) {
  const int w = 64, h = 56;
  std::vector<uint16_t> a(w * h), b(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      a[y * w + x] = static_cast<uint16_t>(std::lround(Pattern(x, y)));
      b[y * w + x] = static_cast<uint16_t>(std::lround(Pattern(x - du, y - dv)));
    }
  std::vector<float> ca(w * h), cb(w * h);
  PrefilterImageRows(a.data(), w, 0, h, degree, ca.data());
  PrefilterColumns(ca.data(), w, h, 0, w, degree);
  PrefilterImageRows(b.data(), w, 0, h, degree, cb.data());
  PrefilterColumns(cb.data(), w, h, 0, w, degree);

  VectorGrid g;
  g.nx = 3;
  g.ny = 3;
  g.x0 = 15.5;
  g.y0 = 15.5;
  g.dx = g.dy = 16;
  const std::vector<float> u(9, static_cast<float>(du)), v(9, static_cast<float>(dv));
  DisplacementPredictor p;
  EXPECT_TRUE(p.Set(g, u.data(), v.data(), PredictorInterpolation::Bilinear, w));
  DeformationRows rows;
  EXPECT_TRUE(rows.Prepare(w, g.nx));
  std::vector<float> d1(w * h, -1.0f), d2(w * h, -1.0f);
  const BSplineCoefficients first{ca.data(), w, h, degree}, second{cb.data(), w, h, degree};
  // In two row ranges, as two threads would.
  DeformRows(first, second, p, 0, 20, rows, d1.data(), d2.data());
  DeformRows(first, second, p, 20, h, rows, d1.data(), d2.data());

  double largest = 0.0;
  for (int y = 8; y < h - 8; ++y)  // away from the mirrored border
    for (int x = 8; x < w - 8; ++x) {
      const double expected = Pattern(x - 0.5 * du, y - 0.5 * dv);
      largest = std::max(largest, std::fabs(d1[y * w + x] - expected));
      largest = std::max(largest, std::fabs(d2[y * w + x] - expected));
    }
  return largest;
}

TEST(DisplacementPredictor, AtGivesTheValueOfTheRowsAnywhere) {
  // The linear field above on its 6 x 5 grid: At is exact between and beyond the centres
  // (the rotation example of DeformationAnalysis.h needs it at q + d/2), and equals Row
  // at the pixels.
  const VectorGrid g = SixByFiveGrid();
  const LinearField f;
  const std::vector<float> u = AtCentres(f, g, 1.0), v(30, 2.0f);
  DisplacementPredictor p;
  ASSERT_TRUE(p.Set(g, u.data(), v.data(), PredictorInterpolation::Bilinear, 112));
  float au = 0, av = 0;
  for (const double x : {-3.0, 0.0, 15.5, 22.25, 47.9, 101.0, 120.0})
    for (const double y : {-1.0, 15.5, 30.7, 95.0}) {
      p.At(x, y, &au, &av);
      EXPECT_NEAR(au, f.At(x, y), 1e-5) << x << "," << y;
      EXPECT_NEAR(av, 2.0, 1e-6);
    }
  // Hand-checked: at (23.5, 15.5), halfway between the first two centres of the first row,
  // u = 0.7 + 0.02 * 23.5 - 0.015 * 15.5 = 0.9375.
  p.At(23.5, 15.5, &au, &av);
  EXPECT_NEAR(au, 0.9375, 1e-6);
  std::vector<float> pu, pv;
  PredictAll(p, 112, 96, pu, pv);
  for (const int k : {0, 37, 112 * 50 + 77, 112 * 96 - 1}) {
    p.At(k % 112, k / 112, &au, &av);
    EXPECT_NEAR(au, pu[k], 1e-6) << k;
  }
}

TEST(SymmetricDeformation, MovesBothImagesHalfWayToTheAnalyticImage) {
  // The pattern's finest wave (13 px) is well sampled: both splines meet it to within the
  // rounding of the pixels to whole counts (0.6 - 0.8 counts found); a sign error in
  // either half would be off by the full shift's change, hundreds of counts.
  for (const auto& d : std::vector<std::pair<double, double>>{{0.6, 0.0}, {0.3, -0.45}, {2.7, 1.2}}) {
    EXPECT_LT(LargestDeformationError(BSplineDegree::Cubic, d.first, d.second), 1.5) << d.first;
    EXPECT_LT(LargestDeformationError(BSplineDegree::Quintic, d.first, d.second), 1.5) << d.first;
  }
}

TEST(SymmetricDeformation, LeavesRowsOutsideTheRangeAlone) {
  const int w = 8, h = 6;
  std::vector<float> c(w * h, 100.0f);
  const BSplineCoefficients img{c.data(), w, h, BSplineDegree::Cubic};
  VectorGrid g;
  g.nx = 1;
  g.ny = 1;
  const float zero = 0.0f;
  DisplacementPredictor p;
  ASSERT_TRUE(p.Set(g, &zero, &zero, PredictorInterpolation::Bilinear, w));
  DeformationRows rows;
  ASSERT_TRUE(rows.Prepare(w, 1));
  std::vector<float> d1(w * h, -1.0f), d2(w * h, -1.0f);
  DeformRows(img, img, p, 2, 4, rows, d1.data(), d2.data());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Coefficients of 100 everywhere are the spline of 100 everywhere.
      const float expected = (y >= 2 && y < 4) ? 100.0f : -1.0f;
      EXPECT_NEAR(d1[y * w + x], expected, 1e-4);
      EXPECT_NEAR(d2[y * w + x], expected, 1e-4);
    }
}

}  // namespace

}  // namespace tarvex
