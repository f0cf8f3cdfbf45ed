// The measurement of an interrogation point on image pairs the tests make themselves:
// four-peak search on hand-made planes, sub-pixel shifts of single particles, whole-pixel
// shifts of particle patterns, failure cases, and the correlation filter.
#include <gtest/gtest.h>


#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "PlanTable.h"
#include "TestSupport.h"
#include "grid/PIVPoint.h"
#include "images/PIVImage.h"
#include "peaks/FitPeak2SubPixel.h"

namespace tarvex {

class PIVPointTestAccess {
 public:
  static TARVEXData& Record(PIVPoint& p) { return p.piv; }
  static bool FindCCMaxima(PIVPoint& p, bool noFilter) { return p.FindCCMaxima(noFilter); }
  static bool CalculateFilter(PIVPoint& p) { return p.CalculateFilter(); }
  static void SetFilterOn(PIVPoint& p, bool on) { p.FilterOn = on; }
  // Gives the point a plane of its size (owned by the point from then on).
  static void SetPlane(PIVPoint& p, const std::vector<float>& plane) {
    delete[] p.piv.CC;
    p.piv.CC = new float[plane.size()];
    std::copy(plane.begin(), plane.end(), p.piv.CC);
    p.piv.memsize = static_cast<int>(plane.size());
  }
  static void SetFilter(PIVPoint& p, const std::vector<float>& filter) {
    delete[] p.piv.CCfilter;
    p.piv.CCfilter = new float[filter.size()];
    std::copy(filter.begin(), filter.end(), p.piv.CCfilter);
  }
};

namespace {

using Access = PIVPointTestAccess;

// --- four peaks on a hand-made plane ---------------------------------------------------

// A 32 x 32 plane holding bright cells with half-height 4-neighbours.
struct Peak {
  int x, y;
  float h;
};
std::vector<float> PlaneWithPeaks(const std::vector<Peak>& peaks) {
  std::vector<float> p(32 * 32, 0.0f);
  for (const Peak& k : peaks) {
    p[k.y * 32 + k.x] = k.h;
    p[k.y * 32 + k.x - 1] = p[k.y * 32 + k.x + 1] = 0.5f * k.h;
    p[(k.y - 1) * 32 + k.x] = p[(k.y + 1) * 32 + k.x] = 0.5f * k.h;
  }
  return p;
}

TEST(FindCCMaxima, FindsFourPeaksHighestFirstAndKeepsThePlane) {
  PIVPoint p(32, 32, 0, nullptr);
  const std::vector<Peak> peaks = {{20, 12, 0.9f}, {6, 25, 0.6f}, {9, 5, 0.8f}, {26, 22, 0.7f}};
  const std::vector<float> plane = PlaneWithPeaks(peaks);
  Access::SetPlane(p, plane);
  ASSERT_TRUE(Access::FindCCMaxima(p, true));
  const TARVEXData& r = Access::Record(p);
  const int order[] = {0, 2, 3, 1};
  for (int i = 0; i < 4; ++i) {
    const Peak& k = peaks[order[i]];
    EXPECT_NEAR(r.dx[i], k.x - 15.0f, 1e-4) << "peak " << i;
    EXPECT_NEAR(r.dy[i], k.y - 15.0f, 1e-4) << "peak " << i;
    EXPECT_EQ(r.rho[i], k.h) << "peak " << i;
  }
  // The single bright cell at column 20, row 12: displacement (5, -3).
  EXPECT_NEAR(r.dx[0], 5.0f, 1e-4);
  EXPECT_NEAR(r.dy[0], -3.0f, 1e-4);
  // The stored plane is untouched, so a second search gives the same peaks.
  for (size_t k = 0; k < plane.size(); ++k) ASSERT_EQ(r.CC[k], plane[k]);
  const TARVEXData first = r;
  ASSERT_TRUE(Access::FindCCMaxima(p, true));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r.dx[i], first.dx[i]);
    EXPECT_EQ(r.dy[i], first.dy[i]);
    EXPECT_EQ(r.rho[i], first.rho[i]);
  }
}

TEST(FindCCMaxima, PeaksNotFoundKeepTheStartValueAndAFiniteDisplacement) {
  PIVPoint p(32, 32, 0, nullptr);
  Access::SetPlane(p, PlaneWithPeaks({{20, 12, 0.9f}}));
  ASSERT_TRUE(Access::FindCCMaxima(p, true));
  const TARVEXData& r = Access::Record(p);
  EXPECT_EQ(r.rho[0], 0.9f);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(r.rho[i], kNoPeakValue);
    EXPECT_TRUE(std::isfinite(r.dx[i]));
    EXPECT_TRUE(std::isfinite(r.dy[i]));
  }
}

TEST(FindCCMaxima, FilterWeightsTheSearchedPlaneOnly) {
  PIVPoint p(32, 32, 0, nullptr);
  Access::SetPlane(p, PlaneWithPeaks({{20, 12, 0.9f}, {9, 5, 0.7f}}));
  std::vector<float> filter(32 * 32, 1.0f);
  filter[12 * 32 + 20] = 0.6f;  // the highest peak drops to 0.54, below the other
  Access::SetFilter(p, filter);
  // With the filter off nothing is weighted.
  ASSERT_TRUE(Access::FindCCMaxima(p, false));
  EXPECT_EQ(Access::Record(p).rho[0], 0.9f);
  Access::SetFilterOn(p, true);
  ASSERT_TRUE(Access::FindCCMaxima(p, false));
  const TARVEXData& r = Access::Record(p);
  EXPECT_EQ(r.rho[0], 0.7f);
  EXPECT_NEAR(r.dx[0], 9 - 15.0f, 1e-4);
  EXPECT_EQ(r.rho[1], 0.9f * 0.6f);
  EXPECT_NEAR(r.dx[1], 20 - 15.0f, 1e-4);
}

// --- measurements on image pairs -------------------------------------------------------

struct Particle {
  double x, y, amplitude;
};

// Renders Gaussian particles of standard deviation sigma into a w x h image.
std::vector<uint16_t> Render(int w, int h, const std::vector<Particle>& particles, double sigma,
                             double dx = 0.0, double dy = 0.0) {
  std::vector<double> img(static_cast<size_t>(w) * h, 0.0);
  const int reach = static_cast<int>(std::ceil(4.0 * sigma));
  for (const Particle& p : particles) {
    const double px = p.x + dx, py = p.y + dy;
    for (int j = static_cast<int>(py) - reach; j <= static_cast<int>(py) + reach; ++j)
      for (int i = static_cast<int>(px) - reach; i <= static_cast<int>(px) + reach; ++i) {
        if (i < 0 || j < 0 || i >= w || j >= h) continue;
        const double r2 = (i - px) * (i - px) + (j - py) * (j - py);
        img[static_cast<size_t>(j) * w + i] += p.amplitude * std::exp(-r2 / (2 * sigma * sigma));
      }
  }
  std::vector<uint16_t> out(img.size());
  for (size_t k = 0; k < img.size(); ++k) out[k] = static_cast<uint16_t>(std::min(65535.0, std::round(img[k])));
  return out;
}

std::vector<Particle> RandomParticles(int w, int h, int count, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> ux(-4.0, w + 4.0), uy(-4.0, h + 4.0), ua(8000, 30000);
  std::vector<Particle> ps;
  for (int k = 0; k < count; ++k) ps.push_back({ux(gen), uy(gen), ua(gen)});
  return ps;
}


// Image-pair files in a fresh directory, and points using the plan table.
class Measurement : public ::testing::Test {
 protected:
  void SetUp() override { plans_ = Plans(); }

  // Opens an image store over a pair of w x h images.
  std::unique_ptr<PIVImage> Pair(int w, int h, const std::vector<uint16_t>& a,
                                 const std::vector<uint16_t>& b) {
    const std::string name = dir_.file("pair" + std::to_string(files_++) + ".img");
    WriteImagePairFile(name, w, h, {a, b});
    testing::internal::CaptureStdout();  // the store reports the file it opened
    auto img = std::make_unique<PIVImage>(name.c_str());
    fflush(stdout);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(img->FopenFlag);
    return img;
  }

  std::unique_ptr<PIVPoint> Point(int n, PIVImage* img, float x, float y) {
    auto p = std::make_unique<PIVPoint>(n, n, 0, plans_);
    p->pivImage = img;
    p->setXY(x, y);
    return p;
  }

  TempDir dir_;
  FFTWplan* plans_ = nullptr;
  int files_ = 0;
};

TEST_F(Measurement, SingleParticleSubPixelShiftIsRecovered) {
  const double shifts[][2] = {{2.3, -1.4}, {-0.45, 0.2}, {4.7, 3.55}};
  for (const auto& s : shifts) {
    const std::vector<Particle> one = {{47.6, 48.2, 30000.0}};
    auto img = Pair(128, 128, Render(128, 128, one, 1.5), Render(128, 128, one, 1.5, s[0], s[1]));
    auto p = Point(32, img.get(), 47.0f, 47.0f);
    ASSERT_TRUE(p->CalculateCCVelocity());
    EXPECT_EQ(p->on(), 1);
    EXPECT_TRUE(p->HasMeasurement());
    EXPECT_NEAR(p->Vx(), s[0], 0.01) << "shift " << s[0] << "," << s[1];
    EXPECT_NEAR(p->Vy(), s[1], 0.01) << "shift " << s[0] << "," << s[1];
    EXPECT_GT(p->Rho(), 0.5f);
  }
}

TEST_F(Measurement, ParticlePatternMovedByWholePixelsFindsTheRightPeak) {
  const int w = 160, h = 160;
  const std::vector<Particle> ps = RandomParticles(w, h, 1400, 7);
  const double sx = 3.0, sy = -2.0;
  auto img = Pair(w, h, Render(w, h, ps, 1.0), Render(w, h, ps, 1.0, sx, sy));
  for (int n : {32, 64}) {
    for (float y = n / 2.0f; y + n / 2 < h - 1; y += n / 2.0f)
      for (float x = n / 2.0f; x + n / 2 < w - 1; x += n / 2.0f) {
        auto p = Point(n, img.get(), x, y);
        ASSERT_TRUE(p->CalculateCCVelocity()) << n << " at " << x << "," << y;
        EXPECT_EQ(p->on(), 1);
        // The fit may sit up to half a pixel off on such planes; never a wrong peak.
        EXPECT_LE(std::fabs(p->Vx() - sx), 0.51) << n << " at " << x << "," << y;
        EXPECT_LE(std::fabs(p->Vy() - sy), 0.51) << n << " at " << x << "," << y;
      }
  }
}

TEST_F(Measurement, WindowsOutsideTheImageLeaveThePointAsItWas) {
  const std::vector<Particle> one = {{40.0, 40.0, 30000.0}};
  auto img = Pair(96, 96, Render(96, 96, one, 1.5), Render(96, 96, one, 1.5, 1.0, 2.0));
  auto fresh = Point(32, img.get(), 5.0f, 40.0f);
  EXPECT_FALSE(fresh->CalculateCCVelocity());
  EXPECT_EQ(fresh->on(), 0);
  EXPECT_EQ(fresh->Vx(), 0.0f);

  auto p = Point(32, img.get(), 40.0f, 40.0f);
  ASSERT_TRUE(p->CalculateCCVelocity());
  const float vx = p->Vx(), vy = p->Vy(), rho = p->Rho();
  p->setXY(90.0f, 40.0f);  // the window now ends past the last column
  EXPECT_FALSE(p->CalculateCCVelocity());
  EXPECT_EQ(p->on(), 1);
  EXPECT_EQ(p->Vx(), vx);
  EXPECT_EQ(p->Vy(), vy);
  EXPECT_EQ(p->Rho(), rho);
}

TEST_F(Measurement, PlaneIsReleasedUnlessStored) {
  const std::vector<Particle> one = {{40.0, 40.0, 30000.0}};
  auto img = Pair(96, 96, Render(96, 96, one, 1.5), Render(96, 96, one, 1.5, 1.0, 2.0));
  auto p = Point(32, img.get(), 40.0f, 40.0f);
  ASSERT_TRUE(p->CalculateCCVelocity());
  EXPECT_EQ(p->PIV()->CC, nullptr);
  EXPECT_EQ(p->PIV()->memsize, 32 * 32);
  p->setCCStored(true);
  ASSERT_TRUE(p->CalculateCCVelocity());
  ASSERT_NE(p->PIV()->CC, nullptr);
  // The kept plane's maximum is the integer peak at (1, 2).
  EXPECT_EQ(p->PIV()->CC[(15 + 2) * 32 + (15 + 1)], p->Rho());
}

TEST_F(Measurement, AllZeroWindowLeavesThePointOffWithFiniteValues) {
  const std::vector<Particle> one = {{70.0, 70.0, 30000.0}};
  // Both windows around (20, 20) are black; the particle lies elsewhere.
  auto img = Pair(96, 96, Render(96, 96, one, 1.5), Render(96, 96, one, 1.5, 1.0, 0.0));
  auto p = Point(32, img.get(), 70.0f, 70.0f);
  ASSERT_TRUE(p->CalculateCCVelocity());
  ASSERT_EQ(p->on(), 1);
  p->setXY(20.0f, 20.0f);
  testing::internal::CaptureStdout();
  p->CalculateCCVelocity();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(p->on(), 0);
  EXPECT_FALSE(p->HasMeasurement());
  const TARVEXData* r = p->PIV();
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(std::isfinite(r->dx[i])) << i;
    EXPECT_TRUE(std::isfinite(r->dy[i])) << i;
    EXPECT_TRUE(std::isfinite(r->rho[i])) << i;
  }
  EXPECT_EQ(r->rho[0], kNoPeakValue);
}

// --- correlation filter ----------------------------------------------------------------

TEST_F(Measurement, FilterOfTwoNeighboursIsTheirGeometricMean) {
  const int w = 64, h = 64;
  const std::vector<Particle> ps = RandomParticles(w, h, 200, 11);
  auto img = Pair(w, h, Render(w, h, ps, 1.0), Render(w, h, ps, 1.0, 1.0, 1.0));
  // At (15, 15) the south and west neighbours leave the image; north and east fit.
  auto p = Point(32, img.get(), 15.0f, 15.0f);
  Access::SetFilterOn(*p, true);
  ASSERT_TRUE(Access::CalculateFilter(*p));
  auto north = Point(32, img.get(), 15.0f, 31.0f);
  auto east = Point(32, img.get(), 31.0f, 15.0f);
  ASSERT_TRUE(north->CalculateCC());
  ASSERT_TRUE(east->CalculateCC());
  const float* f = p->PIV()->CCfilter;
  ASSERT_NE(f, nullptr);
  for (int k = 0; k < 32 * 32; ++k)
    ASSERT_FLOAT_EQ(f[k], std::sqrt(north->PIV()->CC[k] * east->PIV()->CC[k])) << k;

  // The measurement still runs on the unfiltered plane.
  auto plain = Point(32, img.get(), 15.0f, 15.0f);
  ASSERT_TRUE(p->CalculateCCVelocity());
  ASSERT_TRUE(plain->CalculateCCVelocity());
  EXPECT_EQ(p->Vx(), plain->Vx());
  EXPECT_EQ(p->Vy(), plain->Vy());
}

TEST_F(Measurement, FilterFailures) {
  const std::vector<Particle> one = {{16.0, 16.0, 30000.0}};
  auto img = Pair(34, 34, Render(34, 34, one, 1.5), Render(34, 34, one, 1.5));
  // The window covers nearly the whole image: no neighbour fits, nothing printed.
  auto p = Point(32, img.get(), 15.0f, 15.0f);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Access::CalculateFilter(*p));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(p->PIV()->CCfilter, nullptr);
  // No plane size known yet.
  Access::Record(*p).memsize = 0;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Access::CalculateFilter(*p));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ERROR: No CC function is stored, cannot compute filter ... \n");
}

}  // namespace

}  // namespace tarvex
