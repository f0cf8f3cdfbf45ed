// The SVD, the back-substitution and the weighted least-squares fit built on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <random>
#include <vector>

#include "peaks/ChisqSVDFitFunctions.h"

namespace tarvex {

namespace {

// Column-major element (row i, column j) of a matrix with m rows.
float& At(std::vector<float>& a, int m, int i, int j) { return a[i + j * m]; }

void CheckDecomposition(int m, int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> a(m * n);
  for (float& e : a) e = dist(gen);
  std::vector<float> u = a, w(n), v(n * n);
  int mm = m, nn = n;
  EXPECT_EQ(svdcmp_(u.data(), &mm, &nn, &mm, &nn, w.data(), v.data()), 0);

  for (int j = 0; j < n; ++j) EXPECT_GE(w[j], 0.0f) << "singular value " << j;
  // A = U diag(w) V^T.
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += At(u, m, i, k) * w[k] * At(v, n, j, k);
      EXPECT_NEAR(s, At(a, m, i, j), 2e-5) << "element " << i << "," << j;
    }
  // U^T U = I and V^T V = I.
  for (int p = 0; p < n; ++p)
    for (int q = 0; q < n; ++q) {
      double su = 0.0, sv = 0.0;
      for (int i = 0; i < m; ++i) su += At(u, m, i, p) * At(u, m, i, q);
      for (int i = 0; i < n; ++i) sv += At(v, n, i, p) * At(v, n, i, q);
      EXPECT_NEAR(su, p == q ? 1.0 : 0.0, 2e-5) << "U columns " << p << "," << q;
      EXPECT_NEAR(sv, p == q ? 1.0 : 0.0, 2e-5) << "V columns " << p << "," << q;
    }
}

TEST(Svd, ReconstructsRandomMatricesWithOrthonormalFactors) {
  CheckDecomposition(9, 5, 1);
  CheckDecomposition(20, 5, 2);
  CheckDecomposition(20, 5, 3);
}

TEST(Svd, RefusesMoreThanHundredColumnsWithoutTouchingMemory) {
  float a[2] = {1.0f, 2.0f}, w[1] = {7.0f}, v[1] = {8.0f}, b[1] = {3.0f}, x[1] = {9.0f};
  int m = 1, n = 101;
  EXPECT_EQ(svdcmp_(a, &m, &n, &m, &n, w, v), 1);
  svbksb_(a, w, v, &m, &n, &m, &n, b, x);
  EXPECT_EQ(a[0], 1.0f);
  EXPECT_EQ(a[1], 2.0f);
  EXPECT_EQ(w[0], 7.0f);
  EXPECT_EQ(v[0], 8.0f);
  EXPECT_EQ(x[0], 9.0f);
}

TEST(Svd, BackSubstitutionSolvesASquareSystemAndSkipsZeroSingularValues) {
  // A = [[2, 1], [1, 3]], b = (3, 5): x = (0.8, 1.4).
  std::vector<float> u = {2, 1, 1, 3}, w(2), v(4);
  int n = 2;
  svdcmp_(u.data(), &n, &n, &n, &n, w.data(), v.data());
  float b[2] = {3, 5}, x[2] = {0, 0};
  svbksb_(u.data(), w.data(), v.data(), &n, &n, &n, &n, b, x);
  EXPECT_NEAR(x[0], 0.8f, 1e-5);
  EXPECT_NEAR(x[1], 1.4f, 1e-5);
  // With both singular values zeroed nothing is left of the solution.
  w[0] = w[1] = 0.0f;
  svbksb_(u.data(), w.data(), v.data(), &n, &n, &n, &n, b, x);
  EXPECT_EQ(x[0], 0.0f);
  EXPECT_EQ(x[1], 0.0f);
}

TEST(FpolyGaussian, GivesOneXXSquaredYYSquared) {
  float f[5];
  fpolyGaussian(2.0f, 3.0f, f, 5);
  EXPECT_EQ(f[0], 1.0f);
  EXPECT_EQ(f[1], 2.0f);
  EXPECT_EQ(f[2], 4.0f);
  EXPECT_EQ(f[3], 3.0f);
  EXPECT_EQ(f[4], 9.0f);
  fpolyGaussian(0.0f, -1.5f, f, 5);
  EXPECT_EQ(f[0], 1.0f);  // 0^0 is 1
  EXPECT_EQ(f[1], 0.0f);
  EXPECT_EQ(f[2], 0.0f);
  EXPECT_EQ(f[3], -1.5f);
  EXPECT_EQ(f[4], 2.25f);
}

// Points of a grid of nx x ny, with z from a function of (x, y).
struct Points {
  std::vector<float> x, y, z;
  template <typename F>
  Points(int nx, int ny, F f) {
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        x.push_back(static_cast<float>(i));
        y.push_back(static_cast<float>(j));
        z.push_back(f(static_cast<float>(i), static_cast<float>(j)));
      }
  }
  int n() const { return static_cast<int>(z.size()); }
};

TEST(SvdFit, ReproducesAnExactQuadratic) {
  Points p(5, 4, [](float x, float y) {
    return 0.5f - 0.2f * x + 0.3f * x * x + 0.1f * y - 0.4f * y * y;
  });
  float a[6] = {}, chisq = -1.0f;
  EXPECT_TRUE(svdfit_xy(p.x.data(), p.y.data(), p.z.data(), p.n(), a, 5, &chisq, fpolyGaussian));
  EXPECT_NEAR(a[0], 0.5f, 1e-4);
  EXPECT_NEAR(a[1], -0.2f, 1e-4);
  EXPECT_NEAR(a[2], 0.3f, 1e-4);
  EXPECT_NEAR(a[3], 0.1f, 1e-4);
  EXPECT_NEAR(a[4], -0.4f, 1e-4);
  EXPECT_GE(chisq, 0.0f);
  EXPECT_LT(chisq, 1e-4f);
}

TEST(SvdFit, ZeroBasisColumnGetsZeroCoefficient) {
  // All x are 0: the x and x^2 columns vanish, y is still fitted.
  std::vector<float> x(6, 0.0f), y = {0, 1, 2, 3, 4, 5}, z;
  for (float t : y) z.push_back(1.0f + 2.0f * t - 0.5f * t * t);
  float a[6] = {9, 9, 9, 9, 9, 9}, chisq = -1.0f;
  svdfit_xy(x.data(), y.data(), z.data(), 6, a, 5, &chisq, fpolyGaussian);
  // Zero to rounding: the reflections mix the empty columns with the others.
  EXPECT_NEAR(a[1], 0.0f, 1e-5);
  EXPECT_NEAR(a[2], 0.0f, 1e-5);
  EXPECT_NEAR(a[0], 1.0f, 1e-4);
  EXPECT_NEAR(a[3], 2.0f, 1e-4);
  EXPECT_NEAR(a[4], -0.5f, 1e-4);
}

void ZeroBasis(float, float, float afunc[], int ma) {
  for (int k = 0; k < ma; ++k) afunc[k] = 0.0f;
}

TEST(SvdFit, AllZeroSingularValuesGiveZeroCoefficients) {
  Points p(3, 3, [](float x, float y) { return x + y; });
  float a[4] = {5, 5, 5, 5}, chisq = -1.0f;
  svdfit_xy(p.x.data(), p.y.data(), p.z.data(), p.n(), a, 3, &chisq, ZeroBasis);
  EXPECT_EQ(a[0], 0.0f);
  EXPECT_EQ(a[1], 0.0f);
  EXPECT_EQ(a[2], 0.0f);
  // Nothing fitted: chi-square is the sum of (z / SIG)^2.
  double expect = 0.0;
  for (float z : p.z) expect += (z / SIG) * (z / SIG);
  EXPECT_NEAR(chisq, expect, expect * 1e-5);
}

// 1, x, y and a fourth column a million times weaker than the others.
void WeakFourthBasis(float x, float y, float afunc[], int) {
  afunc[0] = 1.0f;
  afunc[1] = x;
  afunc[2] = y;
  afunc[3] = 1e-6f * x * y;
}

TEST(SvdFit, SingularValueBelowTheRelativeThresholdIsDropped) {
  Points p(4, 4, [](float x, float y) { return 1.0f + 2.0f * x + 3.0f * y + x * y; });
  // The weak column's singular value is below 1e-5 of the largest but not zero.
  std::vector<float> u(p.n() * 4), w(4), v(16), af(4);
  for (int i = 0; i < p.n(); ++i) {
    WeakFourthBasis(p.x[i], p.y[i], af.data(), 4);
    for (int j = 0; j < 4; ++j) u[i + j * p.n()] = af[j] / SIG;
  }
  int m = p.n(), n = 4;
  svdcmp_(u.data(), &m, &n, &m, &n, w.data(), v.data());
  float wmax = 0.0f, wmin = 1e30f;
  for (float s : w) {
    wmax = std::max(wmax, s);
    wmin = std::min(wmin, s);
  }
  ASSERT_GT(wmin, 0.0f);
  ASSERT_LT(wmin, 1e-5f * wmax);

  // Kept, it would need a coefficient of about 1e6 for the weak column; dropped, the
  // x*y part stays unexplained and the coefficient stays small.
  float a[5] = {}, chisq = 0.0f;
  svdfit_xy(p.x.data(), p.y.data(), p.z.data(), p.n(), a, 4, &chisq, WeakFourthBasis);
  EXPECT_LT(std::fabs(a[3]), 10.0f);
  EXPECT_GT(chisq, 100.0f);
}

void ConstantBasis(float, float, float afunc[], int) { afunc[0] = 1.0f; }

TEST(SvdFit, ChiSquareCountsResidualsInUnitsOfSigma) {
  // The mean is 0 and every residual is +-0.06: each contributes 1.
  std::vector<float> x = {0, 1, 2, 3}, y = {0, 0, 0, 0}, z = {0.06f, -0.06f, 0.06f, -0.06f};
  float a[2] = {}, chisq = 0.0f;
  svdfit_xy(x.data(), y.data(), z.data(), 4, a, 1, &chisq, ConstantBasis);
  EXPECT_NEAR(a[0], 0.0f, 1e-7);
  EXPECT_NEAR(chisq, 4.0f, 1e-4);
}

}  // namespace

namespace {

// The basis must equal the library power function, rounded to float, bit for bit: the
// fit's results are defined by it.
TEST(GaussianBasis, MatchesTheLibraryPowerFunctionExactly) {
  uint32_t state = 12345;
  for (int n = 0; n < 100000; ++n) {
    state = state * 1664525u + 1013904223u;
    const float x = static_cast<float>(static_cast<int32_t>(state)) * 1e-7f;
    state = state * 1664525u + 1013904223u;
    const float y = static_cast<float>(state % 1000u) / 7.0f;
    float afunc[5];
    fpolyGaussian(x, y, afunc, 5);
    const float px2 = static_cast<float>(std::pow(static_cast<double>(x), 2.0));
    const float py2 = static_cast<float>(std::pow(static_cast<double>(y), 2.0));
    ASSERT_EQ(afunc[0], 1.0f);
    ASSERT_EQ(afunc[1], x);
    ASSERT_EQ(afunc[2], px2) << x;
    ASSERT_EQ(afunc[3], y);
    ASSERT_EQ(afunc[4], py2) << y;
  }
}

// A basis whose values are not numbers: the decomposition never converges.
void NotANumberBasis(float x, float, float afunc[], int ma) {
  for (int k = 0; k < ma; ++k) afunc[k] = k == 1 ? NAN : x + static_cast<float>(k);
}

TEST(SvdFit, NoConvergenceIsAFailedFitSaidInOneLineWithoutWaiting) {
  Points p(3, 3, [](float x, float y) { return x - y; });
  float a[4] = {5, 5, 5, 5}, chisq = -1.0f;
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(svdfit_xy(p.x.data(), p.y.data(), p.z.data(), p.n(), a, 3, &chisq, NotANumberBasis));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "No convergence in 30 iterations\n");
  // The coefficients of a fit that was not made are zero, and so is its chi-square.
  EXPECT_EQ(a[0], 0.0f);
  EXPECT_EQ(a[1], 0.0f);
  EXPECT_EQ(a[2], 0.0f);
  EXPECT_EQ(chisq, 0.0f);
}

}  // namespace

}  // namespace tarvex
