// The peak ratio: the header's worked example, and the one-sweep search of both peaks
// against a brute-force reference on random planes (the highest strict local maximum, then
// the highest one outside the 3 x 3 cells around it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "peaks/FitPeak2SubPixel.h"
#include "peaks/PeakRatio.h"

namespace tarvex {

namespace {

// Brute force: every strict local maximum, the highest first in row order.
struct Peaks {
  float best = kNoPeakValue, second = kNoPeakValue;
  int x = 0, y = 0;
};

Peaks BruteForce(const std::vector<float>& p, int nx, int ny) {
  const auto localMax = [&](int i, int j) {
    const float v = p[j * nx + i];
    return v > p[j * nx + i - 1] && v > p[j * nx + i + 1] && v > p[(j - 1) * nx + i] && v > p[(j + 1) * nx + i];
  };
  Peaks r;
  for (int j = 1; j < ny - 1; ++j)
    for (int i = 1; i < nx - 1; ++i)
      if (localMax(i, j) && p[j * nx + i] > r.best) {
        r.best = p[j * nx + i];
        r.x = i;
        r.y = j;
      }
  for (int j = 1; j < ny - 1; ++j)
    for (int i = 1; i < nx - 1; ++i)
      if ((std::abs(i - r.x) > 1 || std::abs(j - r.y) > 1) && localMax(i, j) && p[j * nx + i] > r.second)
        r.second = p[j * nx + i];
  return r;
}

TEST(PeakRatio, WorkedExampleOfTheHeader) {
  std::vector<float> plane(36, 0.0f);
  plane[2 * 6 + 2] = 1.0f;
  plane[2 * 6 + 3] = 0.9f;
  plane[4 * 6 + 4] = 0.5f;
  float x = 0, y = 0, second = 0;
  EXPECT_EQ(HighestTwoPeaks(plane.data(), 6, 6, &x, &y, &second), 1.0f);
  EXPECT_EQ(x, 2.0f);
  EXPECT_EQ(y, 2.0f);
  EXPECT_EQ(second, 0.5f);
  EXPECT_FLOAT_EQ(PeakRatio(1.0f, second), 2.0f);
  plane[4 * 6 + 4] = 0.95f;
  HighestTwoPeaks(plane.data(), 6, 6, &x, &y, &second);
  EXPECT_NEAR(PeakRatio(1.0f, second), 1.0 / 0.95, 1e-6);
  // Nothing else: no competitor, a ratio far above any threshold.
  plane[4 * 6 + 4] = 0.0f;
  HighestTwoPeaks(plane.data(), 6, 6, &x, &y, &second);
  EXPECT_EQ(second, kNoPeakValue);
  EXPECT_GT(PeakRatio(1.0f, second), 1e5f);
}

TEST(PeakRatio, OneSweepFindsWhatBruteForceFinds) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (int trial = 0; trial < 2000; ++trial) {
    const int nx = 4 + trial % 13, ny = 4 + trial % 9;
    std::vector<float> plane(static_cast<size_t>(nx * ny));
    // Coarse values make ties and plateaus, which must be resolved as the search does.
    for (float& v : plane) v = trial % 3 == 0 ? static_cast<float>(static_cast<int>(4 * value(random))) : value(random);
    float x = 0, y = 0, second = 0;
    const float best = HighestTwoPeaks(plane.data(), nx, ny, &x, &y, &second);
    const Peaks expected = BruteForce(plane, nx, ny);
    ASSERT_EQ(best, expected.best) << trial;
    ASSERT_EQ(second, expected.second) << trial;
    if (best == kNoPeakValue) continue;
    ASSERT_EQ(static_cast<int>(x), expected.x) << trial;
    ASSERT_EQ(static_cast<int>(y), expected.y) << trial;
    // The highest is the cell the integer peak search reports.
    float sx = 0, sy = 0;
    ASSERT_EQ(search_CCIntPeak(plane.data(), nx, ny, &sx, &sy), best);
    ASSERT_EQ(sx, x);
    ASSERT_EQ(sy, y);
  }
}

}  // namespace

}  // namespace tarvex
