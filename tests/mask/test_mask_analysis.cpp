// The pieces of a masked analysis on hand-made numbers: the classification of points by
// the centre and quarter rules, the window loading with masked pixels against a
// brute-force loop, and the replacement that fills masked points last.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "deform/VectorReplacement.h"
#include "mask/FlowMask.h"
#include "mask/MaskedWindowLoading.h"

namespace tarvex {

namespace {

MaskImage MaskWithout(int width, int height, int x0, int y0, int x1, int y1) {
  MaskImage mask(width, height);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) mask.Set(x, y, false);
  return mask;
}

TEST(FlowMask, CountsTheMaskedPixelsOfAnyWindow) {
  // Columns 2 to 4 of rows 1 and 2 of a 6 x 5 image: 6 masked pixels.
  const FlowMask mask(MaskWithout(6, 5, 2, 1, 4, 2));
  EXPECT_EQ(mask.MaskedIn(0, 0, 6, 5), 6);
  EXPECT_EQ(mask.MaskedIn(3, 2, 3, 3), 2);  // (3, 2) and (4, 2)
  EXPECT_EQ(mask.MaskedIn(0, 3, 6, 2), 0);
  // Only the part in the image counts.
  EXPECT_EQ(mask.MaskedIn(-3, -3, 6, 5), 1);  // (2, 1)
  EXPECT_EQ(mask.MaskedIn(10, 10, 4, 4), 0);
  // Every window of the image against a brute-force count.
  for (int top = -1; top < 5; ++top)
    for (int left = -1; left < 6; ++left)
      for (int ny = 1; ny <= 3; ++ny)
        for (int nx = 1; nx <= 4; ++nx) {
          long long count = 0;
          for (int y = top; y < top + ny; ++y)
            for (int x = left; x < left + nx; ++x)
              count += x >= 0 && y >= 0 && x < 6 && y < 5 && x >= 2 && x <= 4 && y >= 1 && y <= 2;
          EXPECT_EQ(mask.MaskedIn(left, top, nx, ny), count) << left << ", " << top << ", " << nx << " x " << ny;
        }
}

TEST(FlowMask, WorkedExampleOfTheHeader) {
  // The centre pixels of a 32 x 32 point at (15, 15) are columns and rows 15 and 16.
  for (int x = 15; x <= 16; ++x)
    for (int y = 15; y <= 16; ++y) EXPECT_TRUE(FlowMask(MaskWithout(64, 64, x, y, x, y)).PointMasked(15, 15, 32, 32));
  EXPECT_FALSE(FlowMask(MaskWithout(64, 64, 17, 15, 17, 15)).PointMasked(15, 15, 32, 32));
  EXPECT_FALSE(FlowMask(MaskWithout(64, 64, 15, 14, 15, 14)).PointMasked(15, 15, 32, 32));
  // Columns 0 to 13 and 17 to 31 masked leave the centre columns 14 to 16: 96 flow pixels.
  MaskImage sides = MaskWithout(64, 64, 0, 0, 13, 31);
  for (int y = 0; y < 32; ++y)
    for (int x = 17; x < 32; ++x) sides.Set(x, y, false);
  EXPECT_TRUE(FlowMask(std::move(sides)).PointMasked(15, 15, 32, 32));
  // A quarter exactly (256 flow pixels) is enough to be measured.
  MaskImage quarter(64, 64);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) quarter.Set(x, y, x >= 8 && x < 24 && y >= 8 && y < 24);
  EXPECT_FALSE(FlowMask(MaskImage(quarter)).PointMasked(15, 15, 32, 32));
  quarter.Set(8, 8, false);
  EXPECT_TRUE(FlowMask(std::move(quarter)).PointMasked(15, 15, 32, 32));
}

TEST(FlowMask, OddWindowsHaveOneCentrePixel) {
  // A 5 x 3 point at (4, 4) covers columns 3 to 7 and rows 4 to 6: its centre is (5, 5).
  EXPECT_TRUE(FlowMask(MaskWithout(16, 16, 5, 5, 5, 5)).PointMasked(4, 4, 5, 3));
  EXPECT_FALSE(FlowMask(MaskWithout(16, 16, 4, 5, 4, 5)).PointMasked(4, 4, 5, 3));
  EXPECT_FALSE(FlowMask(MaskWithout(16, 16, 5, 4, 5, 4)).PointMasked(4, 4, 5, 3));
  // Pixels beyond the image hold no flow: the window of a point at (-2, -2), from (-3, -2),
  // keeps 2 x 1 of its 15 pixels; at (-1, -1) it keeps 3 x 2, more than a quarter.
  EXPECT_TRUE(FlowMask(MaskImage(16, 16)).PointMasked(-2, -2, 5, 3));
  EXPECT_FALSE(FlowMask(MaskImage(16, 16)).PointMasked(-1, -1, 5, 3));
  EXPECT_FALSE(FlowMask(MaskImage(16, 16)).PointMasked(4, 4, 5, 3));
}

// The brute-force reference: masked pixels at the mean of the flow pixels, then the window
// mean subtracted, then the weight.
std::vector<double> Reference(const std::vector<unsigned short>& pixels, const std::vector<unsigned char>& flow,
                              double scale, bool subtractMean, const std::vector<float>& weight) {
  double sum = 0.0;
  int count = 0;
  for (size_t k = 0; k < pixels.size(); ++k)
    if (flow[k]) {
      sum += pixels[k] * scale;
      ++count;
    }
  std::vector<double> out(pixels.size());
  for (size_t k = 0; k < pixels.size(); ++k) out[k] = flow[k] ? pixels[k] * scale : sum / count;
  double mean = 0.0;
  for (double v : out) mean += v / static_cast<double>(out.size());
  for (size_t k = 0; k < out.size(); ++k) {
    if (subtractMean) out[k] -= mean;
    if (!weight.empty()) out[k] *= weight[k];
  }
  return out;
}

double Norm(const std::vector<double>& values) {
  double squares = 0.0;
  for (double v : values) squares += v * v;
  return std::sqrt(squares);
}

TEST(MaskedWindowLoading, WorkedExampleOfTheHeader) {
  const unsigned short image[] = {4096, 0, 0, 8192};
  const unsigned char mask[] = {1, 1, 1, 0};
  fftw_real a[4], b[4];
  const WindowSource<unsigned short> window{image, 2, 0, 0};
  const WindowSource<unsigned char> flow{mask, 2, 0, 0};
  WindowNorms n = LoadMaskedWindowPair(window, window, flow, flow, 2, 2, {1.0 / 4096, false, nullptr}, a, b);
  EXPECT_DOUBLE_EQ(a[0], 1.0);
  EXPECT_DOUBLE_EQ(a[3], 1.0 / 3.0);
  EXPECT_NEAR(n.rho1, 1.054, 5e-4);
  n = LoadMaskedWindowPair(window, window, flow, flow, 2, 2, {1.0 / 4096, true, nullptr}, a, b);
  EXPECT_NEAR(a[0], 2.0 / 3.0, 1e-15);
  EXPECT_NEAR(a[1], -1.0 / 3.0, 1e-15);
  EXPECT_NEAR(a[3], 0.0, 1e-15);
  EXPECT_NEAR(n.rho1, 0.816, 5e-4);
  EXPECT_EQ(n.rho1, n.rho2);
}

// A 4 x 4 window with 3 masked pixels in a 6 x 5 image: they take the mean of the 13
// flow pixels; the second window, elsewhere in the image, reads the mask at its own place.
TEST(MaskedWindowLoading, MatchesABruteForceLoop) {
  const int width = 6, height = 5;
  std::vector<unsigned short> image(width * height);
  for (int k = 0; k < width * height; ++k) image[k] = static_cast<unsigned short>((k * 37 + 11) % 200);
  std::vector<unsigned char> bytes(width * height, 1);
  bytes[1 * width + 1] = bytes[2 * width + 3] = bytes[4 * width + 4] = 0;  // (1,1), (3,2), (4,4)
  // The 4 x 4 pixels and mask bytes of the window from (left, top).
  const auto cut = [&](int left, int top, std::vector<unsigned short>& pixels, std::vector<unsigned char>& flow) {
    for (int r = top; r < top + 4; ++r)
      for (int c = left; c < left + 4; ++c) {
        pixels.push_back(image[r * width + c]);
        flow.push_back(bytes[r * width + c]);
      }
  };
  // The first window, from (1, 1), holds all three; the second, from (2, 1), (3, 2) and (4, 4).
  std::vector<unsigned short> w3, w2;
  std::vector<unsigned char> f3, f2;
  cut(1, 1, w3, f3);
  cut(2, 1, w2, f2);
  int flow2 = 0;
  for (unsigned char f : f2) flow2 += f;
  ASSERT_EQ(flow2, 14);
  double flowSum = 0;
  for (int k = 0; k < 16; ++k) flowSum += f3[k] ? w3[k] : 0;
  std::vector<float> weight(16);
  for (int k = 0; k < 16; ++k) weight[k] = 0.5f + 0.03125f * k;
  for (int t = 0; t < 4; ++t) {
    const bool subtract = t & 1;
    const std::vector<float> w = t & 2 ? weight : std::vector<float>();
    const WindowTreatment treatment{1.0 / 4096, subtract, w.empty() ? nullptr : w.data()};
    fftw_real a[16], b[16];
    const WindowNorms n = LoadMaskedWindowPair(WindowSource<unsigned short>{image.data(), width, 1, 1},
                                               WindowSource<unsigned short>{image.data(), width, 2, 1},
                                               WindowSource<unsigned char>{bytes.data(), width, 1, 1},
                                               WindowSource<unsigned char>{bytes.data(), width, 2, 1}, 4, 4,
                                               treatment, a, b);
    const std::vector<double> ra = Reference(w3, f3, 1.0 / 4096, subtract, w);
    const std::vector<double> rb = Reference(w2, f2, 1.0 / 4096, subtract, w);
    for (int k = 0; k < 16; ++k) {
      EXPECT_NEAR(a[k], ra[k], 1e-15) << "treatment " << t << ", value " << k;
      EXPECT_NEAR(b[k], rb[k], 1e-15) << "treatment " << t << ", value " << k;
    }
    if (t == 0) {
      // (1,1) is value 0, (3,2) value 6, (4,4) value 15 of the window: the mean of 13.
      for (int k : {0, 6, 15}) EXPECT_DOUBLE_EQ(a[k], flowSum / 13 / 4096);
    }
    EXPECT_NEAR(n.rho1, Norm(ra), 1e-14);
    EXPECT_NEAR(n.rho2, Norm(rb), 1e-14);
  }
}

TEST(MaskedWindowLoading, AWindowWithoutFlowLoadsAsZeros) {
  const unsigned short image[] = {100, 200, 300, 400};
  const unsigned char none[] = {0, 0, 0, 0}, all[] = {1, 1, 1, 1};
  fftw_real a[4], b[4];
  const WindowSource<unsigned short> window{image, 2, 0, 0};
  const WindowNorms n = LoadMaskedWindowPair(window, window, WindowSource<unsigned char>{none, 2, 0, 0},
                                             WindowSource<unsigned char>{all, 2, 0, 0}, 2, 2,
                                             {1.0, true, nullptr}, a, b);
  for (double v : a) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(n.rho1, 0.0);
  EXPECT_DOUBLE_EQ(b[0], -150.0);  // the other window is loaded as it is
}

TEST(VectorReplacement, MaskedPointsAreFilledLastFromTheirOwnSide) {
  // The header's row 1 2 # _ _ 8 9.
  const std::vector<unsigned char> valid = {1, 1, 0, 0, 0, 1, 1}, last = {0, 0, 1, 0, 0, 0, 0};
  std::vector<float> u = {1, 2, 0, 0, 0, 8, 9}, v(7, 0.0f);
  std::vector<unsigned char> state(7);
  EXPECT_EQ(ReplaceInvalidVectors(u.data(), v.data(), valid.data(), 7, 1, state.data(), last.data()), 3);
  EXPECT_EQ(u, (std::vector<float>{1, 2, 4, 6, 7, 8, 9}));
  std::vector<float> w = {1, 2, 0, 0, 0, 8, 9};
  ReplaceInvalidVectors(w.data(), v.data(), valid.data(), 7, 1, state.data());
  EXPECT_EQ(w, (std::vector<float>{1, 2, 3, 5, 7, 8, 9}));
  // Masked points with nothing else to fill wait for nothing.
  std::vector<float> x = {4, 0, 0}, y(3, 0.0f);
  const std::vector<unsigned char> one = {1, 0, 0}, masked = {0, 1, 1};
  EXPECT_EQ(ReplaceInvalidVectors(x.data(), y.data(), one.data(), 3, 1, state.data(), masked.data()), 2);
  EXPECT_EQ(x, (std::vector<float>{4, 4, 4}));
}

}  // namespace

}  // namespace tarvex
