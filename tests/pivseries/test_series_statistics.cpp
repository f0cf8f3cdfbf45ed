// The statistics of a series, gathered field by field, against a direct two-pass computation
// in long double on series with rejected vectors, points never valid and points valid once;
// and the worked example of SeriesStatistics.h.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "SeriesStatistics.h"

namespace {

FieldFrame Frame(const std::vector<VectorRecord>& vectors) { return FieldFrame{vectors, {}}; }

// The direct computation at one point over the valid values.
struct Direct {
  long n = 0;
  long double mean_u = 0, mean_v = 0, var_u = 0, var_v = 0, cov = 0;
};

Direct TwoPass(const std::vector<double>& u, const std::vector<double>& v) {
  Direct d;
  d.n = static_cast<long>(u.size());
  if (d.n == 0) return d;
  for (size_t k = 0; k < u.size(); k++) {
    d.mean_u += u[k];
    d.mean_v += v[k];
  }
  d.mean_u /= d.n;
  d.mean_v /= d.n;
  for (size_t k = 0; k < u.size(); k++) {
    d.var_u += (u[k] - d.mean_u) * (u[k] - d.mean_u);
    d.var_v += (v[k] - d.mean_v) * (v[k] - d.mean_v);
    d.cov += (u[k] - d.mean_u) * (v[k] - d.mean_v);
  }
  if (d.n > 1) {
    d.var_u /= d.n - 1;
    d.var_v /= d.n - 1;
    d.cov /= d.n - 1;
  }
  return d;
}

void ExpectClose(double got, long double expected, long double scale, const char* what, size_t point) {
  EXPECT_LE(std::fabs(static_cast<long double>(got) - expected), 1e-12L * scale) << what << " at point " << point;
}

}  // namespace

TEST(SeriesStatistics, TheWorkedExample) {
  SeriesStatistics statistics;
  const double us[] = {1, 2, 4, 9}, vs[] = {0, 1, 1, 9};
  for (int k = 0; k < 4; k++)
    statistics.Add(Frame({{k < 3, 15, 15, us[k], vs[k], 0.5}, {k == 1, 31, 15, 3, 4, 0.5}, {false, 47, 15, 0, 0, 0}}));
  const FieldStatistics s = statistics.Result();
  EXPECT_EQ(s.fields, 4u);
  EXPECT_EQ(s.n_valid, (std::vector<int>{3, 1, 0}));
  EXPECT_NEAR(s.u_mean[0], 7.0 / 3, 1e-15);
  EXPECT_NEAR(s.v_mean[0], 2.0 / 3, 1e-15);
  EXPECT_NEAR(s.u_std[0], 1.5275252316519468, 1e-15);
  EXPECT_NEAR(s.v_std[0], 0.57735026918962584, 1e-15);
  EXPECT_NEAR(s.uv_cov[0], 2.0 / 3, 1e-15);
  // Valid once: a mean, no deviation; never valid: nothing.
  EXPECT_EQ(s.u_mean[1], 3);
  EXPECT_EQ(s.v_mean[1], 4);
  EXPECT_TRUE(std::isnan(s.u_std[1]) && std::isnan(s.v_std[1]) && std::isnan(s.uv_cov[1]));
  EXPECT_TRUE(std::isnan(s.u_mean[2]) && std::isnan(s.v_mean[2]) && std::isnan(s.u_std[2]));
}

TEST(SeriesStatistics, AsTheDirectComputationOnALongSeries) {
  // 48 points: never valid, valid once (at different fields), valid with probability 0.7,
  // always valid; values about a large mean so that a naive sum of squares would lose digits.
  constexpr size_t kPoints = 48;
  constexpr int kFields = 500;
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0, 0.3);
  std::uniform_real_distribution<double> chance(0, 1);
  std::vector<std::vector<double>> valid_u(kPoints), valid_v(kPoints);
  SeriesStatistics statistics;
  for (int f = 0; f < kFields; f++) {
    std::vector<VectorRecord> vectors(kPoints);
    for (size_t k = 0; k < kPoints; k++) {
      const double u = 1000 + 0.01 * k + noise(random), v = -250 + 0.5 * u + noise(random);
      bool valid = false;
      switch (k % 4) {
        case 0: valid = false; break;
        case 1: valid = f == static_cast<int>(k * 7 % kFields); break;
        case 2: valid = chance(random) < 0.7; break;
        case 3: valid = true; break;
      }
      vectors[k] = {valid, 15.0 + 16 * k, 15, u, v, 0.5};
      if (valid) {
        valid_u[k].push_back(u);
        valid_v[k].push_back(v);
      }
    }
    statistics.Add(Frame(vectors));
  }
  const FieldStatistics s = statistics.Result();
  for (size_t k = 0; k < kPoints; k++) {
    const Direct d = TwoPass(valid_u[k], valid_v[k]);
    ASSERT_EQ(s.n_valid[k], d.n) << k;
    if (d.n == 0) {
      EXPECT_TRUE(std::isnan(s.u_mean[k]) && std::isnan(s.v_mean[k])) << k;
      continue;
    }
    ExpectClose(s.u_mean[k], d.mean_u, 1000, "u_mean", k);
    ExpectClose(s.v_mean[k], d.mean_v, 1000, "v_mean", k);
    if (d.n == 1) {
      EXPECT_TRUE(std::isnan(s.u_std[k]) && std::isnan(s.uv_cov[k])) << k;
      continue;
    }
    ExpectClose(s.u_std[k], std::sqrt(d.var_u), 1, "u_std", k);
    ExpectClose(s.v_std[k], std::sqrt(d.var_v), 1, "v_std", k);
    ExpectClose(s.uv_cov[k], d.cov, 1, "uv_cov", k);
  }
}

TEST(SeriesStatistics, ExtraQuantitiesAveragedOverValidVectorsWithAValue) {
  SeriesStatistics statistics;
  // Field 1 holds sigma_u; field 2 (a DPIV file) does not; field 3 holds it with a gap.
  FieldFrame first = Frame({{true, 15, 15, 1, 0, 0.5}, {false, 31, 15, 1, 0, 0.5}});
  first.extras.push_back({"sigma_u", "standard uncertainty of u", true, "", {0.1, 0.7}});
  FieldFrame third = Frame({{true, 15, 15, 1, 0, 0.5}, {true, 31, 15, 1, 0, 0.5}});
  third.extras.push_back({"sigma_u", "standard uncertainty of u", true, "", {0.3, NAN}});
  statistics.Add(first);
  statistics.Add(Frame({{true, 15, 15, 1, 0, 0.5}, {true, 31, 15, 1, 0, 0.5}}));
  statistics.Add(third);
  const FieldStatistics s = statistics.Result();
  ASSERT_EQ(s.extra_means.size(), 1u);
  EXPECT_EQ(s.extra_means[0].name, "sigma_u");
  EXPECT_TRUE(s.extra_means[0].velocity);
  EXPECT_DOUBLE_EQ(s.extra_means[0].values[0], 0.2);
  EXPECT_TRUE(std::isnan(s.extra_means[0].values[1]));  // rejected where it had a value
}

namespace {

// One field of three points: u as given, v = 0, each vector's sigma_u and sigma_v as given
// (NaN: none), all valid but where `valid` says otherwise.
FieldFrame WithSigmas(const std::vector<double>& u, const std::vector<double>& sigma, const std::vector<bool>& valid) {
  FieldFrame f;
  for (size_t k = 0; k < u.size(); k++) f.vectors.push_back({valid[k], 15.0 + 16 * k, 15.0, u[k], 0.0, 0.9});
  f.extras.push_back({"sigma_u", "standard uncertainty of u", true, "", sigma});
  f.extras.push_back({"sigma_v", "standard uncertainty of v", true, "", sigma});
  return f;
}

TEST(SeriesStatistics, TheUncertaintyOfTheMeansOfTheHeader) {
  // Point 0: u = 1, 2, 4 with sigma 0.1: sqrt(max(2.3333, 0.01) / 3) = 0.8819 (the scatter).
  // Point 1: u = 2.00, 2.01 (and a rejected 9) with sigma 0.1: sqrt(max(0.00005, 0.01) / 2)
  // = 0.0707 (the vectors' own uncertainty). Point 2: one valid vector, sigma 0.05: 0.05.
  const double nan = std::nan("");
  SeriesStatistics s;
  s.Add(WithSigmas({1, 2.00, 7}, {0.1, 0.1, 0.05}, {true, true, true}));
  s.Add(WithSigmas({2, 2.01, 7}, {0.1, 0.1, nan}, {true, true, false}));
  s.Add(WithSigmas({4, 9, 7}, {0.1, 0.3, nan}, {true, false, false}));
  const FieldStatistics r = s.Result();
  ASSERT_EQ(r.u_mean_uncertainty.size(), 3u);
  EXPECT_NEAR(r.u_mean_uncertainty[0], std::sqrt((7.0 / 3.0) / 3.0), 1e-12);
  EXPECT_NEAR(r.u_mean_uncertainty[0], 0.8819, 1e-4);
  EXPECT_NEAR(r.u_mean_uncertainty[1], std::sqrt(0.01 / 2.0), 1e-12);
  EXPECT_NEAR(r.u_mean_uncertainty[2], 0.05, 1e-12);
  // v is 0 everywhere: its uncertainty is the vectors' own.
  EXPECT_NEAR(r.v_mean_uncertainty[0], std::sqrt(0.01 / 3.0), 1e-12);

  // Without sigmas there is none.
  SeriesStatistics plain;
  plain.Add(FieldFrame{WithSigmas({1, 2, 3}, {0.1, 0.1, 0.1}, {true, true, true}).vectors, {}});
  EXPECT_TRUE(plain.Result().u_mean_uncertainty.empty());
}

}  // namespace
