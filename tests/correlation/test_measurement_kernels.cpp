// The fused kernels of a point measurement against the step-by-step computations they
// replace, to the bit: the loading of the windows (scale, mean, weight, norms), the
// normalised shift of the plane, and the peak candidates kept up to date around blanked
// areas against a full search of the plane after every blanking.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "correlation/WindowLoading.h"
#include "correlation/fftw-2d.h"
#include "peaks/FitPeak2SubPixel.h"
#include "peaks/PeakCandidates.h"

namespace tarvex {

namespace {

uint32_t Bits(float v) {
  uint32_t b;
  memcpy(&b, &v, sizeof b);
  return b;
}

uint64_t Bits(double v) {
  uint64_t b;
  memcpy(&b, &v, sizeof b);
  return b;
}

// --- loading the windows ---------------------------------------------------------------

// The steps one after another, as the correlation made them before they were fused:
// scale (divide by `scale`, or multiply by 1 / scale when it is no power of two), sum,
// subtract the mean, weight, sum the squares.
template <typename Pixel>
std::vector<double> StepByStep(const std::vector<Pixel>& image, int width, int left, int top,
                               int nx, int ny, double scale, bool subtractMean,
                               const float* weight, double* norm) {
  const bool powerOfTwo = std::log2(scale) == std::round(std::log2(scale));
  std::vector<double> w(static_cast<size_t>(nx) * ny);
  for (int r = 0; r < ny; ++r) {
    for (int c = 0; c < nx; ++c) {
      const double p = image[(top + r) * width + left + c];
      w[r * nx + c] = powerOfTwo ? p / scale : p * (1.0 / scale);
    }
  }
  if (subtractMean) {
    double sum = 0.0;
    for (double v : w) sum += v;
    const double mean = sum / static_cast<double>(w.size());
    for (double& v : w) v -= mean;
  }
  if (weight != nullptr)
    for (size_t k = 0; k < w.size(); ++k) w[k] *= weight[k];
  double squares = 0.0;
  for (double v : w) squares += v * v;
  *norm = std::sqrt(squares);
  return w;
}

// Windows of nx x ny pixels at (3, 5) and (11, 2) of an image `width` pixels wide.
template <typename Pixel>
void ExpectSameBits(const std::vector<Pixel>& image, int width, double scale, int nx, int ny) {
  const double inverseScale = 1.0 / scale;
  std::vector<float> weight(nx * ny);
  for (size_t k = 0; k < weight.size(); ++k) weight[k] = 0.25f + static_cast<float>(k % 7) * 0.3f;
  for (bool mean : {false, true}) {
    for (const float* w : {static_cast<const float*>(nullptr), static_cast<const float*>(weight.data())}) {
      std::vector<double> a(nx * ny), b(nx * ny);
      const WindowNorms norms = LoadWindowPair(WindowSource<Pixel>{image.data(), width, 3, 5},
                                               WindowSource<Pixel>{image.data(), width, 11, 2},
                                               nx, ny, {inverseScale, mean, w}, a.data(), b.data());
      double rho1 = 0, rho2 = 0;
      const std::vector<double> ra = StepByStep(image, width, 3, 5, nx, ny, scale, mean, w, &rho1);
      const std::vector<double> rb = StepByStep(image, width, 11, 2, nx, ny, scale, mean, w, &rho2);
      for (int k = 0; k < nx * ny; ++k) {
        ASSERT_EQ(Bits(a[k]), Bits(ra[k])) << "first window, value " << k << " mean " << mean;
        ASSERT_EQ(Bits(b[k]), Bits(rb[k])) << "second window, value " << k << " mean " << mean;
      }
      EXPECT_EQ(Bits(norms.rho1), Bits(rho1)) << "mean " << mean << " weight " << (w != nullptr);
      EXPECT_EQ(Bits(norms.rho2), Bits(rho2)) << "mean " << mean << " weight " << (w != nullptr);
    }
  }
}

// The squares are summed in lanes where every partial sum is exact: scaled pixels, and 12-bit
// pixels less their mean in a window of 32 x 32 (a power of two). Full 16-bit pixels less
// their mean (whose squares sum beyond 2^53 quanta^2), a window of 24 x 16 with the mean, the
// weights and a scale that is no power of two are summed in order; the bits are the same.
TEST(LoadWindowPair, SixteenBitPixelsGiveTheBitsOfTheStepByStepComputation) {
  std::mt19937 random(3);
  for (int top : {4095, 65535}) {
    std::uniform_int_distribution<int> pixel(0, top);
    std::vector<unsigned short> image(48 * 40);
    for (unsigned short& p : image) p = static_cast<unsigned short>(pixel(random));
    for (const auto& size : {std::vector<int>{32, 32}, std::vector<int>{24, 16}}) {
      // Dividing by 4096 and multiplying by 1/4096 agree.
      ExpectSameBits(image, 48, 4096.0, size[0], size[1]);
      ExpectSameBits(image, 48, 3.0, size[0], size[1]);
    }
  }
}

// Deformed (float) windows have no older bits to reproduce: their sums run in lanes. The
// values agree with the step-by-step computation to rounding, and the same windows give
// the same bits wherever and whenever they are loaded.
TEST(LoadWindowPair, FloatPixelsAgreeWithTheStepByStepComputationAndRepeat) {
  std::mt19937 random(4);
  std::uniform_real_distribution<float> pixel(-20.0f, 4000.0f);
  std::vector<float> image(48 * 40);
  for (float& p : image) p = pixel(random);
  for (const auto& size : {std::vector<int>{32, 32}, std::vector<int>{23, 17}}) {
    const int nx = size[0], ny = size[1];
    std::vector<double> a(nx * ny), b(nx * ny), again(nx * ny), unused(nx * ny);
    const WindowNorms norms = LoadWindowPair(WindowSource<float>{image.data(), 48, 3, 5},
                                             WindowSource<float>{image.data(), 48, 11, 2}, nx, ny,
                                             {1.0 / 4096.0, true, nullptr}, a.data(), b.data());
    double rho1 = 0, rho2 = 0;
    const std::vector<double> ra = StepByStep(image, 48, 3, 5, nx, ny, 4096.0, true, nullptr, &rho1);
    const std::vector<double> rb = StepByStep(image, 48, 11, 2, nx, ny, 4096.0, true, nullptr, &rho2);
    for (int k = 0; k < nx * ny; ++k) {
      ASSERT_NEAR(a[k], ra[k], 1e-12) << k;
      ASSERT_NEAR(b[k], rb[k], 1e-12) << k;
    }
    EXPECT_NEAR(norms.rho1, rho1, 1e-12 * rho1);
    EXPECT_NEAR(norms.rho2, rho2, 1e-12 * rho2);
    // The second window loaded first: the same bits as before.
    const WindowNorms swapped = LoadWindowPair(WindowSource<float>{image.data(), 48, 11, 2},
                                               WindowSource<float>{image.data(), 48, 3, 5}, nx, ny,
                                               {1.0 / 4096.0, true, nullptr}, again.data(), unused.data());
    EXPECT_EQ(Bits(swapped.rho1), Bits(norms.rho2));
    for (int k = 0; k < nx * ny; ++k) ASSERT_EQ(Bits(again[k]), Bits(b[k])) << k;
  }
}

// --- the normalised shift --------------------------------------------------------------

TEST(NormalisedShiftInto, IsTheShiftDividedByTheNormAsFloats) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> value(-3.0, 3.0);
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {4, 4}, {7, 6}, {32, 32}, {33, 31}, {48, 24}};
  for (const auto& size : sizes) {
    const int nx = size[0], ny = size[1];
    std::vector<double> cc(nx * ny), rows(nx * ny), shifted(nx * ny);
    for (double& v : cc) v = value(random);
    rfftshift_into(cc.data(), nx, ny, rows.data(), shifted.data());
    for (double norm : {0.37, 0.0}) {
      std::vector<float> plane(nx * ny, 99.0f);
      NormalisedShiftInto(cc.data(), nx, ny, norm, plane.data());
      for (int k = 0; k < nx * ny; ++k) {
        ASSERT_EQ(Bits(plane[k]), Bits(static_cast<float>(shifted[k] / norm)))
            << nx << " x " << ny << " norm " << norm << " cell " << k;
      }
    }
  }
  // 4 x 4: source cell (0, 0) lands on (1, 1), source (3, 3) on (0, 0) (see fftw-2d.h).
  std::vector<double> cc(16, 0.0);
  cc[0] = 2.0;
  cc[15] = -4.0;
  std::vector<float> plane(16);
  NormalisedShiftInto(cc.data(), 4, 4, 2.0, plane.data());
  EXPECT_EQ(plane[1 * 4 + 1], 1.0f);
  EXPECT_EQ(plane[0], -2.0f);
}

// --- the peak candidates ---------------------------------------------------------------

struct Found {
  float value;
  float x, y;
};

// The search as it ran before: a full search of the plane after every blanking. Each peak's
// area is blanked around the cell `shift` columns right of it, as a sub-pixel estimate may
// move it.
std::vector<Found> FullSearches(std::vector<float> plane, int nx, int ny, int peaks, int shift) {
  std::vector<Found> found;
  for (int i = 0; i < peaks; ++i) {
    Found f{};
    f.value = search_CCIntPeak(plane.data(), nx, ny, &f.x, &f.y);
    found.push_back(f);
    BlankPeakArea(plane.data(), nx, ny, f.x + static_cast<float>(shift), f.y, f.value);
  }
  return found;
}

std::vector<Found> KeptCandidates(std::vector<float> plane, int nx, int ny, int peaks, int shift) {
  PeakCandidates candidates;
  EXPECT_TRUE(candidates.Reserve(nx, ny));
  candidates.Collect(plane.data(), nx, ny);
  std::vector<Found> found;
  for (int i = 0; i < peaks; ++i) {
    Found f{};
    f.value = candidates.Highest(&f.x, &f.y);
    found.push_back(f);
    const CellRange r = BlankPeakArea(plane.data(), nx, ny, f.x + static_cast<float>(shift), f.y, f.value);
    candidates.Changed(plane.data(), r.x0, r.y0, r.x1, r.y1);
  }
  return found;
}

TEST(PeakCandidates, PlaneWithoutCandidatesGivesTheStartValueAtTheOrigin) {
  for (const auto& size : {std::vector<int>{2, 9}, std::vector<int>{3, 3}, std::vector<int>{6, 5}}) {
    const int nx = size[0], ny = size[1];
    const std::vector<float> flat(nx * ny, 0.5f);
    PeakCandidates c;
    ASSERT_TRUE(c.Reserve(nx, ny));
    c.Collect(flat.data(), nx, ny);
    float x = -1, y = -1;
    EXPECT_EQ(c.Highest(&x, &y), kNoPeakValue) << nx << " x " << ny;
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
  }
}

// Random planes of few levels (many ties), both zeros, negative values, not-a-number and
// values at or below the search's start value: every peak the same cell and the same bits
// as the full searches give. Twelve peaks in a row use up the eight best candidates of the
// sweep, so the plane is swept again on the way.
TEST(PeakCandidates, GiveThePeaksOfAFullSearchAfterEveryBlanking) {
  const float levels[] = {0.0f, -0.0f, 0.25f, 0.5f, 0.75f, 1.0f, -0.5f, NAN, kNoPeakValue, -2e7f};
  const int sizes[][2] = {{3, 3}, {4, 7}, {9, 5}, {16, 16}, {32, 32}, {33, 17}, {64, 64}};
  std::mt19937 random(11);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_real_distribution<float> smooth(-0.3f, 1.0f);
  int checked = 0;
  for (const auto& size : sizes) {
    const int nx = size[0], ny = size[1];
    for (int trial = 0; trial < 60; ++trial) {
      std::vector<float> plane(nx * ny);
      for (float& v : plane) v = trial % 2 == 0 ? levels[pick(random)] : smooth(random);
      for (int shift : {0, 1, -1}) {
        const std::vector<Found> full = FullSearches(plane, nx, ny, 12, shift);
        const std::vector<Found> kept = KeptCandidates(plane, nx, ny, 12, shift);
        for (size_t i = 0; i < full.size(); ++i) {
          ASSERT_EQ(Bits(kept[i].value), Bits(full[i].value))
              << nx << " x " << ny << " trial " << trial << " shift " << shift << " peak " << i;
          ASSERT_EQ(kept[i].x, full[i].x) << nx << " x " << ny << " trial " << trial << " peak " << i;
          ASSERT_EQ(kept[i].y, full[i].y) << nx << " x " << ny << " trial " << trial << " peak " << i;
          ++checked;
        }
      }
    }
  }
  EXPECT_EQ(checked, 7 * 60 * 3 * 12);
}

// The first blanked area holds the eight best candidates: the ninth best, far outside it,
// wins only after the plane is swept again.
TEST(PeakCandidates, BestCandidatesAllBlankedAtOnceFallBackToANewSweep) {
  const int n = 40;
  std::vector<float> plane(n * n, 0.0f);
  // A peak at (15, 15) sloping down along its row and column to 14 cells out, so that its
  // blanked area covers columns and rows 1..29.
  for (int k = 1; k <= 29; ++k) {
    plane[15 * n + k] = 100.0f - static_cast<float>(std::abs(k - 15));
    plane[k * n + 15] = 100.0f - static_cast<float>(std::abs(k - 15));
  }
  // Eight isolated maxima inside that area, and a lower one outside it.
  const int inside[8][2] = {{5, 5}, {9, 5}, {20, 5}, {25, 9}, {5, 20}, {9, 25}, {20, 25}, {25, 20}};
  for (int i = 0; i < 8; ++i) plane[inside[i][1] * n + inside[i][0]] = 60.0f + static_cast<float>(i);
  plane[35 * n + 35] = 10.0f;
  const std::vector<Found> kept = KeptCandidates(plane, n, n, 2, 0);
  const std::vector<Found> full = FullSearches(plane, n, n, 2, 0);
  EXPECT_EQ(full[0].value, 100.0f);
  EXPECT_EQ(kept[0].value, 100.0f);
  EXPECT_EQ(full[1].value, 10.0f);
  EXPECT_EQ(kept[1].value, 10.0f);
  EXPECT_EQ(kept[1].x, 35.0f);
  EXPECT_EQ(kept[1].y, 35.0f);
}

}  // namespace

}  // namespace tarvex
