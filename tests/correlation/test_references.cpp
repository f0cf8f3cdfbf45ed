// Brute-force references for the numerical core: the FFT correlation of every plan-table size
// against a direct circular cross-correlation, and the two sub-pixel estimators against the
// exact position of sampled Gaussians.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "PlanTable.h"
#include "correlation/DefineFFTWPlans.h"
#include "correlation/fftw-2d.h"
#include "peaks/FitPeak2SubPixel.h"
#include "peaks/ThreePointGaussian.h"

namespace tarvex {

namespace {

// c(dx, dy) = sum over the window of w1(x, y) * w2((x + dx) mod nx, (y + dy) mod ny): the
// correlation the transforms compute, by a double loop.
double DirectCorrelation(const std::vector<double>& w1, const std::vector<double>& w2, int nx,
                         int ny, int dx, int dy) {
  double sum = 0.0;
  for (int y = 0; y < ny; y++) {
    const int y2 = ((y + dy) % ny + ny) % ny;
    for (int x = 0; x < nx; x++) {
      const int x2 = ((x + dx) % nx + nx) % nx;
      sum += w1[static_cast<size_t>(y) * nx + x] * w2[static_cast<size_t>(y2) * nx + x2];
    }
  }
  return sum;
}

// Correlates random 12-bit windows of nx x ny pixels with the given plans (temporary ones
// when null) and compares every displacement (or, on large planes, 400 of them, the
// extremes included) with the direct sum, relative to the product of the norms.
void ExpectMatchesDirectCorrelation(int nx, int ny, rfftwnd_plan forward, rfftwnd_plan inverse) {
  std::mt19937 random(static_cast<unsigned>(nx * 1000 + ny));
  std::uniform_int_distribution<int> pixel(0, 4095);
  const size_t count = static_cast<size_t>(nx) * ny;
  std::vector<unsigned short> a(count), b(count);
  for (size_t k = 0; k < count; k++) {
    a[k] = static_cast<unsigned short>(pixel(random));
    b[k] = static_cast<unsigned short>(pixel(random));
  }
  PlanPair plans(forward, inverse, nx, ny, PlanPair::kReal);
  RealCCWork work;
  ASSERT_TRUE(work.Reserve(nx, ny));
  std::vector<fftw_real> rows(count), shifted(count);
  work.LoadWindows(a.data(), b.data(), 4096.0);
  const std::vector<double> w1(work.fI1.data, work.fI1.data + count);
  const std::vector<double> w2(work.fI2.data, work.fI2.data + count);
  const WindowNorms norms = work.CorrelateShifted(plans.forward, plans.inverse, rows.data(), shifted.data());
  const double scale = norms.rho1 * norms.rho2;

  // Zero displacement lies at column nx/2 - 1, row ny/2 - 1 of the shifted plane.
  auto check = [&](int i, int j) {
    const double direct = DirectCorrelation(w1, w2, nx, ny, i - (nx / 2 - 1), j - (ny / 2 - 1));
    EXPECT_NEAR(shifted[static_cast<size_t>(j) * nx + i] / scale, direct / scale, 1e-9)
        << nx << " x " << ny << " at cell (" << i << ", " << j << ")";
  };
  if (count <= 64 * 64) {
    for (int j = 0; j < ny; j++)
      for (int i = 0; i < nx; i++) check(i, j);
    return;
  }
  for (int i : {0, nx / 2 - 1, nx - 1})
    for (int j : {0, ny / 2 - 1, ny - 1}) check(i, j);
  std::uniform_int_distribution<int> column(0, nx - 1), row(0, ny - 1);
  for (int n = 0; n < 391; n++) check(column(random), row(random));
}

}  // namespace

TEST(ReferenceCorrelation, EveryTableSizeMatchesTheDirectSum) {
  FFTWplan* table = Plans();
  for (int e = 0; e < kNumberOfFFTWPlans; e++) {
    SCOPED_TRACE(e);
    ExpectMatchesDirectCorrelation(table[e].nx, table[e].ny, table[e].Forward, table[e].Inverse);
  }
}

TEST(ReferenceCorrelation, ASizeWithoutATablePlanMatchesTheDirectSum) {
  ASSERT_EQ(SelectFFTWPlan(Plans(), 36, 20), nullptr);
  ExpectMatchesDirectCorrelation(36, 20, nullptr, nullptr);
}

namespace {

// A plane of nx x ny floats holding exp(-((x - x0)^2 + (y - y0)^2) / (2 s^2)).
std::vector<float> GaussianPlane(int nx, int ny, double x0, double y0, double s) {
  std::vector<float> plane(static_cast<size_t>(nx) * ny);
  for (int y = 0; y < ny; y++)
    for (int x = 0; x < nx; x++)
      plane[static_cast<size_t>(y) * nx + x] = static_cast<float>(
          std::exp(-((x - x0) * (x - x0) + (y - y0) * (y - y0)) / (2 * s * s)));
  return plane;
}

// The logarithm of a Gaussian is a parabola, so both estimators find its centre exactly,
// up to the rounding of single-precision values: displacement = centre - (n/2 - 1).
template <typename Estimate>
void ExpectExactOnGaussians(Estimate estimate, double tolerance) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<double> position(10.0, 21.0), width(0.9, 2.5);
  const int n = 32;
  for (int trial = 0; trial < 300; trial++) {
    const double x0 = position(random), y0 = position(random), s = width(random);
    std::vector<float> plane = GaussianPlane(n, n, x0, y0, s);
    float x = 0, y = 0;
    const float peak = search_CCIntPeak(plane.data(), n, n, &x, &y);
    ASSERT_EQ(x, std::round(x0));
    ASSERT_EQ(y, std::round(y0));
    estimate(plane, n, &x, &y, peak);
    EXPECT_NEAR(x, x0 - (n / 2 - 1), tolerance) << "centre " << x0 << ", " << y0 << ", width " << s;
    EXPECT_NEAR(y, y0 - (n / 2 - 1), tolerance) << "centre " << x0 << ", " << y0 << ", width " << s;
  }
}

}  // namespace

TEST(ReferenceEstimators, ThreePointGaussianIsExactOnGaussians) {
  ExpectExactOnGaussians(
      [](const std::vector<float>& p, int n, float* x, float* y, float peak) {
        ThreePointGaussianPeak(p.data(), n, n, x, y, peak);
      },
      5e-6);
}

TEST(ReferenceEstimators, LeastSquaresFitIsExactOnGaussians) {
  GaussianFitWork work;
  ExpectExactOnGaussians(
      [&work](const std::vector<float>& p, int n, float* x, float* y, float peak) {
        CC_fit_linear_exp(p.data(), n, n, x, y, peak, work);
      },
      1e-4);
}

}  // namespace tarvex
