// B-spline interpolation of images: the prefilter against a brute-force solution of the
// interpolation system, the round trip back to the pixels, exactness on polynomials of the
// spline's degree, the weights, the mirror index, and split passes against whole ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "deform/BSplineImage.h"

namespace tarvex {

namespace {

// Values of the centred B-spline of the degree at the integers -2..2: the interpolation
// condition is sum_k c[k] b(i - k) = s[i].
std::vector<double> KernelAtIntegers(BSplineDegree degree) {
  if (degree == BSplineDegree::Cubic) return {0.0, 1.0 / 6.0, 4.0 / 6.0, 1.0 / 6.0, 0.0};
  return {1.0 / 120.0, 26.0 / 120.0, 66.0 / 120.0, 26.0 / 120.0, 1.0 / 120.0};
}

// The coefficients of a line by Gaussian elimination on the full system, the mirrored
// coefficients folded back into the line.
std::vector<double> BruteForceCoefficients(const std::vector<double>& s, BSplineDegree degree) {
  const int n = static_cast<int>(s.size());
  const std::vector<double> b = KernelAtIntegers(degree);
  std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
  for (int i = 0; i < n; ++i) {
    for (int d = -2; d <= 2; ++d) a[i][MirrorIndex(i + d, n)] += b[d + 2];
    a[i][n] = s[i];
  }
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    std::swap(a[c], a[p]);
    for (int r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = a[r][c] / a[c][c];
      for (int k = c; k <= n; ++k) a[r][k] -= f * a[c][k];
    }
  }
  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = a[i][n] / a[i][i];
  return x;
}

const BSplineDegree kDegrees[] = {BSplineDegree::Cubic, BSplineDegree::Quintic};

TEST(BSplinePrefilter, SolvesTheInterpolationSystem) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> value(0.0, 4095.0);
  // Lengths below and above the start sum's horizon (about 14 and 22 samples).
  for (int n : {2, 3, 9, 30, 61}) {
    std::vector<double> s(n);
    for (double& x : s) x = value(gen);
    for (BSplineDegree degree : kDegrees) {
      std::vector<float> c(s.begin(), s.end());
      Prefilter(c.data(), n, 1, degree);
      const std::vector<double> expected = BruteForceCoefficients(s, degree);
      for (int k = 0; k < n; ++k)
        EXPECT_NEAR(c[k], expected[k], 2e-3) << "n " << n << " k " << k << " degree " << int(degree);
    }
  }
}

TEST(BSplinePrefilter, WorkedExampleOfTheHeader) {
  // Pixels 0 0 6 0 0: the cubic spline through them has the value 3.5625 at x = 2.5.
  std::vector<float> c = {0, 0, 6, 0, 0};
  Prefilter(c.data(), 5, 1, BSplineDegree::Cubic);
  const BSplineCoefficients line{c.data(), 5, 1, BSplineDegree::Cubic};
  EXPECT_NEAR(SampleBSpline(line, 2.0, 0.0), 6.0, 1e-5);
  EXPECT_NEAR(SampleBSpline(line, 2.5, 0.0), 3.5625, 1e-5);
}

TEST(BSplinePrefilter, SamplingAtThePixelsGivesThePixelsBack) {
  std::mt19937 gen(9);
  std::uniform_int_distribution<int> value(0, 4095);
  for (BSplineDegree degree : kDegrees) {
    for (const auto& size : std::vector<std::pair<int, int>>{{40, 27}, {1, 5}, {3, 2}, {64, 64}}) {
      const int w = size.first, h = size.second;
      std::vector<uint16_t> pixels(static_cast<size_t>(w) * h);
      for (uint16_t& p : pixels) p = static_cast<uint16_t>(value(gen));
      std::vector<float> c(pixels.size());
      PrefilterImageRows(pixels.data(), w, 0, h, degree, c.data());
      PrefilterColumns(c.data(), w, h, 0, w, degree);
      const BSplineCoefficients image{c.data(), w, h, degree};
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_NEAR(SampleBSpline(image, x, y), pixels[y * w + x], 0.02)
              << w << "x" << h << " at " << x << "," << y << " degree " << int(degree);
    }
  }
}

// A polynomial of the given degree in x times one of degree 2 in y, on a 64 x 64 grid.
double Polynomial(int degree, double x, double y) {
  const double u = (x - 31.7) / 4.0, v = (y - 30.2) / 10.0;
  return 100.0 + 0.5 * std::pow(u, degree) - 7.0 * u + 25.0 * v * v - 3.0 * v;
}

// Largest error of the spline of `degree` through samples of the polynomial of degree `p`,
// sampled at sub-pixel positions well inside (the mirror boundary is no polynomial).
double LargestInteriorError(BSplineDegree degree, int p) {
  const int n = 64;
  std::vector<float> c(n * n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) c[y * n + x] = static_cast<float>(Polynomial(p, x, y));
  Prefilter(c.data(), n, n, degree);
  const BSplineCoefficients image{c.data(), n, n, degree};
  double largest = 0.0;
  for (double y = 26.0; y <= 38.0; y += 0.7)
    for (double x = 25.0; x <= 39.0; x += 0.37)
      largest = std::max(largest, std::fabs(SampleBSpline(image, x, y) - Polynomial(p, x, y)));
  return largest;
}

TEST(BSplineSampling, ExactOnPolynomialsOfItsDegree) {
  // Values reach 0.5 x 8^5 = 16384 at the far ends: 1e-4 is the float coefficients' noise.
  EXPECT_LT(LargestInteriorError(BSplineDegree::Cubic, 3), 1e-4);
  EXPECT_LT(LargestInteriorError(BSplineDegree::Quintic, 3), 1e-4);
  EXPECT_LT(LargestInteriorError(BSplineDegree::Quintic, 5), 1e-4);
  // Beyond its degree the cubic spline errs (8e-4 on this quintic): the check can tell.
  EXPECT_GT(LargestInteriorError(BSplineDegree::Cubic, 5), 4e-4);
}

TEST(BSplineSampling, WeightsSumToOneAndStartWhereTheSupportStarts) {
  float w[kMaxBSplineSupport];
  for (double x : {-3.25, 0.0, 0.5, 7.999, 12.3}) {
    for (BSplineDegree degree : kDegrees) {
      const int first = BSplineWeights(degree, x, w);
      double sum = 0.0;
      for (int i = 0; i < BSplineSupport(degree); ++i) {
        EXPECT_GE(w[i], 0.0f);
        sum += w[i];
      }
      EXPECT_NEAR(sum, 1.0, 1e-6);
      EXPECT_EQ(first, static_cast<int>(std::floor(x)) - (degree == BSplineDegree::Cubic ? 1 : 2));
    }
  }
  // At an integer the cubic weights are 1/6, 4/6, 1/6, 0.
  BSplineWeights(BSplineDegree::Cubic, 4.0, w);
  EXPECT_NEAR(w[0], 1.0 / 6.0, 1e-7);
  EXPECT_NEAR(w[1], 4.0 / 6.0, 1e-7);
  EXPECT_NEAR(w[2], 1.0 / 6.0, 1e-7);
  EXPECT_NEAR(w[3], 0.0, 1e-7);
}

TEST(BSplineSampling, MirrorIndexReflectsAboutBothEnds) {
  EXPECT_EQ(MirrorIndex(-1, 5), 1);
  EXPECT_EQ(MirrorIndex(-4, 5), 4);
  EXPECT_EQ(MirrorIndex(5, 5), 3);
  EXPECT_EQ(MirrorIndex(8, 5), 0);
  EXPECT_EQ(MirrorIndex(9, 5), 1);
  EXPECT_EQ(MirrorIndex(-9, 5), 1);
  EXPECT_EQ(MirrorIndex(3, 1), 0);
  EXPECT_EQ(MirrorIndex(-2, 2), 0);
}

TEST(BSplinePrefilter, SplitPassesGiveTheSameBitsAsWholeOnes) {
  const int w = 37, h = 29;
  std::vector<uint16_t> pixels(w * h);
  std::mt19937 gen(3);
  for (uint16_t& p : pixels) p = static_cast<uint16_t>(gen() % 4096);
  for (BSplineDegree degree : kDegrees) {
    std::vector<float> whole(w * h), split(w * h);
    PrefilterImageRows(pixels.data(), w, 0, h, degree, whole.data());
    PrefilterColumns(whole.data(), w, h, 0, w, degree);
    PrefilterImageRows(pixels.data(), w, 0, 10, degree, split.data());
    PrefilterImageRows(pixels.data(), w, 10, h, degree, split.data());
    PrefilterColumns(split.data(), w, h, 0, 17, degree);
    PrefilterColumns(split.data(), w, h, 17, w, degree);
    EXPECT_EQ(whole, split);
  }
}

}  // namespace

}  // namespace tarvex
