// The normalised median test, the replacement of rejected and never-measured vectors,
// and the predictor smoothing, on hand-made fields.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "deform/NormalisedMedianTest.h"
#include "deform/PredictorSmoothing.h"
#include "deform/VectorReplacement.h"

namespace tarvex {

namespace {

// A field of nx x ny points, all measured, u = f(j, i), v = g(j, i).
struct Field {
  int nx, ny;
  std::vector<float> u, v;
  std::vector<unsigned char> measured, valid;
  Field(int nx_, int ny_, double u0, double dudx, double dudy, double v0)
      : nx(nx_), ny(ny_), u(nx_ * ny_), v(nx_ * ny_, static_cast<float>(v0)),
        measured(nx_ * ny_, 1), valid(nx_ * ny_, 0) {
    for (int i = 0; i < ny; ++i)
      for (int j = 0; j < nx; ++j) u[i * nx + j] = static_cast<float>(u0 + dudx * j + dudy * i);
  }
  int Test(double threshold = 2.0, double epsilon = 0.1) {
    MedianTestSettings s;
    s.threshold = threshold;
    s.epsilon = epsilon;
    return NormalisedMedianTest(u.data(), v.data(), measured.data(), nx, ny, s, valid.data());
  }
  int Rejected() const {
    int n = 0;
    for (size_t k = 0; k < valid.size(); ++k) n += measured[k] && !valid[k];
    return n;
  }
};

TEST(NormalisedMedianTest, WorkedExampleOfTheHeader) {
  const float nu[] = {1.0f, 1.1f, 0.9f, 1.0f, 1.2f, 0.8f, 1.0f, 1.1f};
  const float nv[8] = {};
  EXPECT_NEAR(NormalisedResidual(1.3f, 0.0f, nu, nv, 8, 0.1), 1.5, 1e-5);
  EXPECT_NEAR(NormalisedResidual(1.5f, 0.0f, nu, nv, 8, 0.1), 2.5, 1e-5);
  // Both components count: 1.5 in u and 1.5 in v give sqrt(2) x 1.5.
  EXPECT_NEAR(NormalisedResidual(1.3f, 1.3f, nu, nu, 8, 0.1), 1.5 * std::sqrt(2.0), 1e-5);
  EXPECT_EQ(NormalisedResidual(5.0f, 5.0f, nu, nv, 0, 0.1), 0.0);
}

TEST(NormalisedMedianTest, RejectsAnIsolatedOutlierOnly) {
  Field f(7, 6, 2.0, 0.0, 0.0, -1.0);
  f.u[3 * 7 + 4] = 2.8f;
  EXPECT_EQ(f.Test(), 1);
  EXPECT_EQ(f.valid[3 * 7 + 4], 0);
  EXPECT_EQ(f.Rejected(), 1);
  // Also one in a corner, in v.
  f.v[0] = 0.0f;
  EXPECT_EQ(f.Test(), 2);
  EXPECT_EQ(f.valid[0], 0);
}

TEST(NormalisedMedianTest, AVectorThatIsNotFiniteNeverPasses) {
  // A NaN compares false with everything: it must fail the test, and be nobody's
  // neighbour, rather than pass and reach the interpolation downstream.
  Field f(6, 6, 1.0, 0.0, 0.0, 0.5);
  f.u[2 * 6 + 2] = std::nanf("");
  f.v[4 * 6 + 3] = INFINITY;
  EXPECT_EQ(f.Test(), 2);
  EXPECT_EQ(f.valid[2 * 6 + 2], 0);
  EXPECT_EQ(f.valid[4 * 6 + 3], 0);
  EXPECT_EQ(f.Rejected(), 2);  // their neighbours all pass
}

TEST(NormalisedMedianTest, TheWideSpreadOfTheHeaderKeepsACrest) {
  // v = 2 cos(2 pi j / 8) along a row, the same in every row; the crest at column 8.
  Field f(17, 9, 0.0, 0.0, 0.0, 0.0);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 17; ++j) f.v[i * 17 + j] = static_cast<float>(2.0 * std::cos(2 * M_PI * (j - 8) / 8.0));
  const int crest = 4 * 17 + 8;
  f.Test();
  EXPECT_EQ(f.valid[crest], 0);  // 0.586 / (0 + 0.1) = 5.9
  MedianTestSettings wide;
  wide.spread = MedianTestSpread::FiveByFive;
  EXPECT_EQ(NormalisedMedianTest(f.u.data(), f.v.data(), f.measured.data(), 17, 9, wide, f.valid.data()), 0);
  EXPECT_EQ(f.valid[crest], 1);  // 0.586 / (0.586 + 0.1) = 0.85
  // An outlier of 1 px on the crest is still caught: (1.586) / (0.586 + 0.1) = 2.3.
  f.v[crest] += 1.0f;
  NormalisedMedianTest(f.u.data(), f.v.data(), f.measured.data(), 17, 9, wide, f.valid.data());
  EXPECT_EQ(f.valid[crest], 0);
}

TEST(NormalisedMedianTest, KeepsASmoothGradientBordersIncluded) {
  // 0.32 px per point in y and 0.1 in x: a border point sees most of its neighbours on
  // one side; their extrapolated mirror images keep its median where it belongs.
  Field f(9, 8, 1.0, 0.1, 0.32, 0.5);
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 9; ++j) f.v[i * 9 + j] = static_cast<float>(0.5 - 0.32 * j);
  EXPECT_EQ(f.Test(), 0);
  // A point 1 px off the gradient, on the border, is still found: its neighbours spread
  // by 0.27 px about their median here, so 1 px is 1 / (0.27 + 0.1) = 2.7.
  f.u[4] += 1.0f;
  EXPECT_EQ(f.Test(), 1);
  EXPECT_EQ(f.valid[4], 0);
}

TEST(NormalisedMedianTest, TheNoiseFloorDecidesOnAUniformField) {
  // All neighbours equal: the residual is the distance over 0.1 px.
  Field kept(5, 5, 1.0, 0.0, 0.0, 0.0);
  kept.u[12] = 1.19f;
  EXPECT_EQ(kept.Test(), 0);
  Field rejected(5, 5, 1.0, 0.0, 0.0, 0.0);
  rejected.u[12] = 1.21f;
  EXPECT_EQ(rejected.Test(), 1);
  EXPECT_EQ(rejected.valid[12], 0);
  // A larger floor keeps it.
  EXPECT_EQ(rejected.Test(2.0, 0.2), 0);
}

TEST(NormalisedMedianTest, UnmeasuredPointsAreNeitherJudgedNorUsed) {
  Field f(5, 5, 1.0, 0.0, 0.0, 0.0);
  f.u[7] = 40.0f;  // garbage at a point never measured
  f.measured[7] = 0;
  EXPECT_EQ(f.Test(), 0);
  EXPECT_EQ(f.valid[7], 0);
  for (int k = 0; k < 25; ++k) {
    if (k == 7) continue;
    EXPECT_EQ(f.valid[k], 1) << k;
  }
}

// Replacement on one row of five points.
std::vector<float> FillRow(std::vector<float> u, const std::vector<unsigned char>& valid) {
  std::vector<float> v(u.size(), 0.0f);
  std::vector<unsigned char> state(u.size());
  ReplaceInvalidVectors(u.data(), v.data(), valid.data(), static_cast<int>(u.size()), 1, state.data());
  return u;
}

TEST(VectorReplacement, WorkedExamplesOfTheHeader) {
  EXPECT_EQ(FillRow({1, 2, 3, 0, 0}, {1, 1, 1, 0, 0}), (std::vector<float>{1, 2, 3, 4, 5}));
  EXPECT_EQ(FillRow({2, 0, 0, 0, 6}, {1, 0, 0, 0, 1}), (std::vector<float>{2, 2, 4, 6, 6}));
}

TEST(VectorReplacement, FillsHolesAndBordersOfALinearFieldExactly) {
  Field f(6, 5, 0.5, 0.25, -0.125, 3.0);
  const std::vector<float> truth = f.u;
  std::vector<unsigned char> valid(30, 1), state(30);
  for (int k : {0, 8, 9, 14, 23, 29, 24, 25}) {  // corner, an inner pair, border points
    valid[k] = 0;
    f.u[k] = 99.0f;
    f.v[k] = 99.0f;
  }
  EXPECT_EQ(ReplaceInvalidVectors(f.u.data(), f.v.data(), valid.data(), 6, 5, state.data()), 8);
  for (int k = 0; k < 30; ++k) {
    EXPECT_NEAR(f.u[k], truth[k], 1e-5) << k;
    EXPECT_NEAR(f.v[k], 3.0f, 1e-5) << k;
  }
  EXPECT_EQ(valid[8], 0);  // the flags are the caller's and stay
}

TEST(VectorReplacement, AFieldWithoutValidVectorsBecomesZero) {
  Field f(3, 2, 4.0, 0.0, 0.0, 5.0);
  std::vector<unsigned char> valid(6, 0), state(6);
  EXPECT_EQ(ReplaceInvalidVectors(f.u.data(), f.v.data(), valid.data(), 3, 2, state.data()), -1);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(f.u[k], 0.0f);
    EXPECT_EQ(f.v[k], 0.0f);
  }
  // Nothing to replace: nothing changes.
  Field g(3, 2, 4.0, 0.0, 0.0, 5.0);
  std::vector<unsigned char> all(6, 1);
  EXPECT_EQ(ReplaceInvalidVectors(g.u.data(), g.v.data(), all.data(), 3, 2, state.data()), 0);
  EXPECT_EQ(g.u[5], 4.0f);
}

TEST(PredictorSmoothing, WorkedExampleAndLinearFields) {
  std::vector<float> row = {1.0f, 1.2f, 1.0f, 1.2f, 1.0f}, scratch(5);
  SmoothPredictorField(row.data(), 5, 1, scratch.data());
  const std::vector<float> expected = {1.0f, 1.1f, 1.1f, 1.1f, 1.0f};
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(row[k], expected[k], 1e-6) << k;

  Field f(6, 5, 0.5, 0.25, -0.125, 0.0);
  const std::vector<float> truth = f.u;
  std::vector<float> s(30);
  SmoothPredictorField(f.u.data(), 6, 5, s.data());
  for (int k = 0; k < 30; ++k) EXPECT_NEAR(f.u[k], truth[k], 1e-6) << k;

  // A checkerboard (the wavelength of two points) vanishes inside.
  std::vector<float> board(25), s25(25);
  for (int k = 0; k < 25; ++k) board[k] = ((k / 5 + k % 5) % 2) ? 1.0f : -1.0f;
  SmoothPredictorField(board.data(), 5, 5, s25.data());
  EXPECT_NEAR(board[12], 0.0f, 1e-6);
  EXPECT_NEAR(board[6], 0.0f, 1e-6);
}

TEST(PredictorSmoothing, FiveTapWorkedExampleAndResponses) {
  std::vector<float> row = {1.0f, 1.2f, 1.0f, 1.2f, 1.0f}, scratch(5);
  SmoothPredictorField(row.data(), 5, 1, scratch.data(), PredictorFilter::FiveTap);
  const std::vector<float> expected = {1.0f, 1.125f, 1.1f, 1.125f, 1.0f};
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(row[k], expected[k], 1e-6) << k;

  // Linear fields pass unchanged, ends included.
  Field f(7, 6, 0.5, 0.25, -0.125, 0.0);
  const std::vector<float> truth = f.u;
  std::vector<float> s(42);
  SmoothPredictorField(f.u.data(), 7, 6, s.data(), PredictorFilter::FiveTap);
  for (int k = 0; k < 42; ++k) EXPECT_NEAR(f.u[k], truth[k], 1e-6) << k;

  // The responses of the header, inside a long row: 0 at two spacings, 3/4 at four,
  // 15/16 at six.
  for (const auto& [n, response] : {std::pair<int, double>{2, 0.0}, {4, 0.75}, {6, 0.9375}}) {
    std::vector<float> wave(60), s60(60);
    for (int k = 0; k < 60; ++k) wave[k] = static_cast<float>(std::cos(2 * M_PI * k / n));
    SmoothPredictorField(wave.data(), 60, 1, s60.data(), PredictorFilter::FiveTap);
    for (int k = 12; k < 48; ++k)
      EXPECT_NEAR(wave[k], response * std::cos(2 * M_PI * k / n), 1e-5) << n << " " << k;
  }
  // None leaves the field alone.
  std::vector<float> same = truth;
  SmoothPredictorField(same.data(), 7, 6, s.data(), PredictorFilter::None);
  EXPECT_EQ(same, truth);
}

}  // namespace

}  // namespace tarvex
