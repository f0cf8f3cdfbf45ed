// FFT cross-correlation: the shifts, the point's correlation plane (position and value
// of the peak, normalisation, element types), table plans against temporary plans, and
// the free real and complex kernels against the point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "PlanTable.h"
#include "TestSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "correlation/fftw-2d.h"
#include "grid/PIVPoint.h"

namespace tarvex {

class PIVPointTestAccess {
 public:
  static void SetWindowFlag(PIVPoint& p, bool on) { p.WindowFlag = on; }
  static bool SetUpWindowMask(PIVPoint& p) { return p.setUpWindowMask(); }
};

namespace {

using Window = std::vector<uint16_t>;
using Plane = std::vector<float>;

constexpr int kSide = 64;  // images hold the windows in their top-left corner


// Sparse bright particles on a dim background.
Window Particles(int nx, int ny, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> column(0, nx - 1), row(0, ny - 1), bright(1500, 4000);
  Window w(static_cast<size_t>(nx) * ny, 100);
  for (int n = 0; n < nx * ny / 16; ++n) w[row(gen) * nx + column(gen)] = static_cast<uint16_t>(bright(gen));
  return w;
}

// w rotated cyclically by (sx, sy): the pattern moves sx columns right and sy rows down.
Window Rotated(const Window& w, int nx, int ny, int sx, int sy) {
  Window out(w.size());
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) out[((j + sy) % ny) * nx + (i + sx) % nx] = w[j * nx + i];
  }
  return out;
}

// An image pair file whose images hold w1 and w2 at the origin, and its store.
class Scene {
 public:
  Scene(const Window& w1, const Window& w2, int nx, int ny) {
    std::vector<uint16_t> a(kSide * kSide, 0), b(kSide * kSide, 0);
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        a[j * kSide + i] = w1[j * nx + i];
        b[j * kSide + i] = w2[j * nx + i];
      }
    }
    const std::string path = dir_.file("pair.img");
    WriteImagePairFile(path, kSide, kSide, {a, b});
    testing::internal::CaptureStdout();
    image_ = std::make_unique<PIVImage>(path.c_str());
    fflush(stdout);
    testing::internal::GetCapturedStdout();
  }
  PIVImage* get() { return image_.get(); }

 private:
  TempDir dir_;
  std::unique_ptr<PIVImage> image_;
};

struct Correlation {
  bool ok = false;
  Plane plane;
  std::string out;  // what the correlation printed
};

// Correlates w1 with w2 by a point of size nx x ny placed on them.
Correlation PointCorrelation(const Window& w1, const Window& w2, int nx, int ny,
                             FFTWplan* plans, bool windowFlag = false) {
  Scene scene(w1, w2, nx, ny);
  PIVPoint p(nx, ny, 0, plans);
  p.pivImage = scene.get();
  if (windowFlag) {
    PIVPointTestAccess::SetWindowFlag(p, true);
    PIVPointTestAccess::SetUpWindowMask(p);
  }
  Correlation c;
  testing::internal::CaptureStdout();
  c.ok = p.CalculateCC();
  fflush(stdout);
  c.out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(p.PIV()->memsize, nx * ny);
  if (c.ok && p.PIV()->CC != nullptr) c.plane.assign(p.PIV()->CC, p.PIV()->CC + nx * ny);
  return c;
}

struct Peak {
  int column, row;
  float value;
};

Peak Maximum(const Plane& plane, int nx) {
  size_t best = 0;
  for (size_t k = 1; k < plane.size(); ++k) {
    if (plane[k] > plane[best]) best = k;
  }
  return {static_cast<int>(best % nx), static_cast<int>(best / nx), plane[best]};
}

void ExpectPlanesNear(const Plane& a, const Plane& b, double tolerance) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t k = 0; k < a.size(); ++k) ASSERT_NEAR(a[k], b[k], tolerance) << "element " << k;
}

// A C-allocated copy, for the free kernels that take ownership of their inputs.
unsigned short* CCopy(const Window& w) {
  auto* p = static_cast<unsigned short*>(malloc(w.size() * sizeof(unsigned short)));
  memcpy(p, w.data(), w.size() * sizeof(unsigned short));
  return p;
}

const char kLocalPlanWarning[] =
    "\nWARNING:\t NO PLAN EXISTS FOR THIS FFT\n"
    "        \t A LOCAL FFTW PLAN WILL BE COMPUTED ....\n";
const char kLocalPlanDestroyed[] = "\n\nDESTROYING LOCAL PLAN ...\n\n";

}  // namespace

// ---- shifts ----

TEST(Shift, FourByFourRotatesZeroDisplacementToColumnOneRowOne) {
  std::vector<fftw_real> in(16);
  for (int k = 0; k < 16; ++k) in[k] = k + 1;
  fftw_real* out = rfftshift(in.data(), 4, 4);
  const std::vector<fftw_real> expected = {16, 13, 14, 15, 4, 1, 2, 3, 8, 5, 6, 7, 12, 9, 10, 11};
  EXPECT_EQ(std::vector<fftw_real>(out, out + 16), expected);
  EXPECT_EQ(out[5], in[0]);
  free(out);
  EXPECT_EQ(in[0], 1.0) << "input unchanged";
}

TEST(Shift, TwoByTwoIsUnchanged) {
  std::vector<fftw_real> in = {1, 2, 3, 4};
  fftw_real* out = rfftshift(in.data(), 2, 2);
  EXPECT_EQ(std::vector<fftw_real>(out, out + 4), in);
  free(out);
}

TEST(Shift, OddSizesDropTheLastSourceElementAndLeaveTheLastZero) {
  std::vector<fftw_real> in(10);
  for (int k = 0; k < 10; ++k) in[k] = k + 1;
  fftw_real* out = rfftshift(in.data(), 5, 2);  // rows [a b c d e] -> [d a b c 0]
  EXPECT_EQ(std::vector<fftw_real>(out, out + 10),
            (std::vector<fftw_real>{4, 1, 2, 3, 0, 9, 6, 7, 8, 0}));
  free(out);

  std::vector<fftw_real> sq(9);
  for (int k = 0; k < 9; ++k) sq[k] = k + 1;
  out = rfftshift(sq.data(), 3, 3);
  EXPECT_EQ(std::vector<fftw_real>(out, out + 9), (std::vector<fftw_real>{1, 2, 0, 4, 5, 0, 0, 0, 0}));
  free(out);
}

TEST(Shift, ComplexShiftMovesTheRealParts) {
  std::vector<fftw_complex> in(16);
  for (int k = 0; k < 16; ++k) {
    in[k].re = k + 1;
    in[k].im = 100 + k;
  }
  fftw_real* out = fftshift(in.data(), 4, 4);
  const std::vector<fftw_real> expected = {16, 13, 14, 15, 4, 1, 2, 3, 8, 5, 6, 7, 12, 9, 10, 11};
  EXPECT_EQ(std::vector<fftw_real>(out, out + 16), expected);
  free(out);
}

// A library does not end its caller's process: out of memory, the shift reports and gives null.
TEST(Shift, OutOfMemoryReportsAndGivesNull) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer stops oversized allocations itself";
#else
  fftw_real one = 1.0;
  // 2^40 elements cannot be allocated; the input is not read before that.
  testing::internal::CaptureStdout();
  EXPECT_EQ(rfftshift(&one, 1 << 20, 1 << 20), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nNOT ENOUGH DYNAMIC MEMORY\n");
#endif
}

// ---- the point's correlation ----

TEST(PointCorrelation, IdenticalWindowsPeakAtZeroDisplacement) {
  for (auto size : {std::pair{32, 32}, std::pair{48, 24}, std::pair{24, 48}}) {
    const int nx = size.first, ny = size.second;
    const Window w = Particles(nx, ny, 7);
    Correlation c = PointCorrelation(w, w, nx, ny, Plans());
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.out, "") << "table plans print nothing";
    const Peak peak = Maximum(c.plane, nx);
    EXPECT_EQ(peak.column, nx / 2 - 1) << nx << "x" << ny;
    EXPECT_EQ(peak.row, ny / 2 - 1) << nx << "x" << ny;
    EXPECT_NEAR(peak.value, 1.0, 1e-6);
  }
}

TEST(PointCorrelation, MovedPatternPeaksAtItsDisplacement) {
  const int nx = 32, ny = 32;
  const Window w = Particles(nx, ny, 11);
  Correlation right = PointCorrelation(w, Rotated(w, nx, ny, 3, 0), nx, ny, Plans());
  ASSERT_TRUE(right.ok);
  Peak peak = Maximum(right.plane, nx);
  EXPECT_EQ(peak.column, nx / 2 + 2);
  EXPECT_EQ(peak.row, ny / 2 - 1);
  EXPECT_NEAR(peak.value, 1.0, 1e-6);

  // Non-square, moved right and down: columns and rows must not be mixed up.
  const int mx = 48, my = 24;
  const Window v = Particles(mx, my, 12);
  Correlation both = PointCorrelation(v, Rotated(v, mx, my, 3, 2), mx, my, Plans());
  ASSERT_TRUE(both.ok);
  peak = Maximum(both.plane, mx);
  EXPECT_EQ(peak.column, mx / 2 + 2);
  EXPECT_EQ(peak.row, my / 2 + 1);
  EXPECT_NEAR(peak.value, 1.0, 1e-6);

  // The largest negative displacement, -(n/2 - 1), lands in column 0.
  Correlation left = PointCorrelation(w, Rotated(w, nx, ny, nx - 15, 0), nx, ny, Plans());
  peak = Maximum(left.plane, nx);
  EXPECT_EQ(peak.column, 0);
  EXPECT_EQ(peak.row, ny / 2 - 1);
}

TEST(PointCorrelation, UniformWindowGivesTheClosedFormEverywhere) {
  const int nx = 32, ny = 24;
  const Window w2 = Particles(nx, ny, 5);
  double sum = 0, squares = 0;
  for (uint16_t v : w2) {
    sum += v;
    squares += static_cast<double>(v) * v;
  }
  const double expected = sum / (std::sqrt(double(nx * ny)) * std::sqrt(squares));
  for (uint16_t level : {7, 1000}) {
    Correlation c = PointCorrelation(Window(nx * ny, level), w2, nx, ny, nullptr);
    ASSERT_TRUE(c.ok);
    for (float v : c.plane) ASSERT_NEAR(v, expected, 1e-6) << "level " << level;
  }
}

TEST(PointCorrelation, ScalingAWindowDoesNotChangeThePlane) {
  const int nx = 32, ny = 32;
  const Window w1 = Particles(nx, ny, 21);
  const Window w2 = Rotated(Particles(nx, ny, 21), nx, ny, 1, 2);
  Window tripled = w1;
  for (auto& v : tripled) v = static_cast<uint16_t>(v * 3);
  Correlation a = PointCorrelation(w1, w2, nx, ny, Plans());
  Correlation b = PointCorrelation(tripled, w2, nx, ny, Plans());
  ASSERT_TRUE(a.ok && b.ok);
  ExpectPlanesNear(a.plane, b.plane, 1e-6);
}

TEST(PointCorrelation, MaskedIdenticalWindowsStillPeakAtOne) {
  // The energies are taken after the mask, so the zero-displacement value stays 1.
  const int nx = 32, ny = 32;
  const Window w = Particles(nx, ny, 3);
  Correlation masked = PointCorrelation(w, w, nx, ny, Plans(), true);
  Correlation plain = PointCorrelation(w, w, nx, ny, Plans());
  ASSERT_TRUE(masked.ok);
  const Peak peak = Maximum(masked.plane, nx);
  EXPECT_EQ(peak.column, 15);
  EXPECT_EQ(peak.row, 15);
  EXPECT_NEAR(peak.value, 1.0, 1e-6);
  EXPECT_GT(std::fabs(masked.plane[0] - plain.plane[0]), 1e-3) << "the mask changed nothing";
}

TEST(PointCorrelation, ElementTypesScaleTruncateAndStore) {
  // Uniform first window, second window bright on a quarter of its pixels: every
  // correlation value is sqrt(256)/32 = 0.5.
  const int nx = 32, ny = 32;
  Window w2(nx * ny, 0);
  for (int k = 0; k < nx * ny; k += 4) w2[k] = 2000;
  Scene scene(Window(nx * ny, 1000), w2, nx, ny);
  PIVPoint p(nx, ny, 0, Plans());
  p.pivImage = scene.get();

  p.PIV()->CCtype = 1;
  ASSERT_TRUE(p.CalculateCC());
  const auto* bytes = reinterpret_cast<const unsigned char*>(p.PIV()->CC);
  for (int k = 0; k < nx * ny; ++k) ASSERT_EQ(bytes[k], 127) << k;

  p.PIV()->CCtype = 2;
  ASSERT_TRUE(p.CalculateCC());
  uint16_t u16;
  memcpy(&u16, reinterpret_cast<const char*>(p.PIV()->CC) + 2 * 100, sizeof u16);
  EXPECT_EQ(u16, 32767);

  p.PIV()->CCtype = 3;
  ASSERT_TRUE(p.CalculateCC());
  uint32_t u32;
  memcpy(&u32, reinterpret_cast<const char*>(p.PIV()->CC) + 4 * (nx * ny - 1), sizeof u32);
  EXPECT_EQ(u32, 32767u);

  p.PIV()->CCtype = 5;
  ASSERT_TRUE(p.CalculateCC());
  double d;
  memcpy(&d, reinterpret_cast<const char*>(p.PIV()->CC) + 8 * (nx * ny - 1), sizeof d);
  EXPECT_NEAR(d, 0.5, 1e-12);

  p.PIV()->CCtype = 6;
  EXPECT_FALSE(p.CalculateCC());
  EXPECT_EQ(p.PIV()->CC, nullptr);

  p.PIV()->CCtype = 4;
  ASSERT_TRUE(p.CalculateCC());
  EXPECT_NEAR(p.PIV()->CC[0], 0.5f, 1e-6);
}

TEST(PointCorrelation, TemporaryPlansAnnounceThemselvesAndAgreeWithTable) {
  const int nx = 32, ny = 32;
  const Window w1 = Particles(nx, ny, 31);
  const Window w2 = Rotated(w1, nx, ny, 2, 1);
  Correlation table = PointCorrelation(w1, w2, nx, ny, Plans());
  Correlation local = PointCorrelation(w1, w2, nx, ny, nullptr);
  ASSERT_TRUE(table.ok && local.ok);
  EXPECT_EQ(table.out, "");
  EXPECT_EQ(local.out, std::string(kLocalPlanWarning) + kLocalPlanDestroyed);
  ExpectPlanesNear(table.plane, local.plane, 1e-6);

  // 36 x 36 has no entry even with the table.
  const Window w = Particles(36, 36, 4);
  Correlation odd = PointCorrelation(w, Rotated(w, 36, 36, 0, 5), 36, 36, Plans());
  ASSERT_TRUE(odd.ok);
  EXPECT_EQ(odd.out, std::string(kLocalPlanWarning) + kLocalPlanDestroyed);
  const Peak peak = Maximum(odd.plane, 36);
  EXPECT_EQ(peak.column, 17);
  EXPECT_EQ(peak.row, 22);
  EXPECT_NEAR(peak.value, 1.0, 1e-6);
}

TEST(PointCorrelation, NewCorrelationReplacesThePlane) {
  const int nx = 32, ny = 32;
  const Window w = Particles(nx, ny, 8);
  Scene scene(w, Rotated(w, nx, ny, 4, 0), nx, ny);
  PIVPoint p(nx, ny, 0, Plans());
  p.pivImage = scene.get();
  ASSERT_TRUE(p.CalculateCC());
  const Plane first(p.PIV()->CC, p.PIV()->CC + nx * ny);
  ASSERT_TRUE(p.CalculateCC());
  EXPECT_EQ(Plane(p.PIV()->CC, p.PIV()->CC + nx * ny), first);
  p.setXY(48, 15);  // window leaves the image: the plane stays as it was
  EXPECT_FALSE(p.CalculateCC());
  ASSERT_NE(p.PIV()->CC, nullptr);
  EXPECT_EQ(Plane(p.PIV()->CC, p.PIV()->CC + nx * ny), first);
}

// ---- free kernels ----

TEST(FreeKernels, RealAndComplexKernelsAgreeWithThePoint) {
  const int nx = 48, ny = 24;
  const Window w1 = Particles(nx, ny, 41);
  const Window w2 = Rotated(Particles(nx, ny, 41), nx, ny, 5, 3);
  Correlation point = PointCorrelation(w1, w2, nx, ny, Plans());
  ASSERT_TRUE(point.ok);

  float* real = FFTW_Rpiv_CC(CCopy(w1), CCopy(w2), nx, ny, nullptr, nullptr);
  ASSERT_NE(real, nullptr);
  ExpectPlanesNear(Plane(real, real + nx * ny), point.plane, 1e-6);
  free(real);

  FFTWplan* entry = SelectFFTWPlan(Plans(), nx, ny);
  float* tabled = FFTW_Rpiv_CC(CCopy(w1), CCopy(w2), nx, ny, entry->Forward, entry->Inverse);
  ASSERT_NE(tabled, nullptr);
  ExpectPlanesNear(Plane(tabled, tabled + nx * ny), point.plane, 1e-6);
  free(tabled);

  float* complexLocal = FFTW_Cpiv_CC(CCopy(w1), CCopy(w2), nx, ny, nullptr, nullptr);
  ASSERT_NE(complexLocal, nullptr);
  ExpectPlanesNear(Plane(complexLocal, complexLocal + nx * ny), point.plane, 1e-6);
  free(complexLocal);

  fftwnd_plan forward = fftw2d_create_plan(ny, nx, FFTW_FORWARD, FFTW_ESTIMATE | FFTW_IN_PLACE);
  fftwnd_plan inverse = fftw2d_create_plan(ny, nx, FFTW_BACKWARD, FFTW_ESTIMATE | FFTW_IN_PLACE);
  float* complexGiven = FFTW_Cpiv_CC(CCopy(w1), CCopy(w2), nx, ny, forward, inverse);
  ASSERT_NE(complexGiven, nullptr);
  ExpectPlanesNear(Plane(complexGiven, complexGiven + nx * ny), point.plane, 1e-6);
  free(complexGiven);
  // Plans passed in stay usable.
  float* again = FFTW_Cpiv_CC(CCopy(w1), CCopy(w2), nx, ny, forward, inverse);
  ASSERT_NE(again, nullptr);
  free(again);
  fftwnd_destroy_plan(forward);
  fftwnd_destroy_plan(inverse);

  const Peak peak = Maximum(point.plane, nx);
  EXPECT_EQ(peak.column, nx / 2 + 4);
  EXPECT_EQ(peak.row, ny / 2 + 2);
}

// ---- private scratch of a shared plan ----

// The copy a worker executes must describe the plan it is given now: a plan destroyed and
// another one made, often at the same address, must not be run through the first one's copy.
TEST(PlanWithOwnWork, FollowsEveryPlanGivenEvenAtAReusedAddress) {
  PlanWithOwnWork view;
  for (int size : {16, 32, 12, 48}) {
    fftwnd_plan plan = rfftw2d_create_plan(size, size, FFTW_REAL_TO_COMPLEX, FFTW_ESTIMATE);
    ASSERT_NE(plan, nullptr);
    const fftwnd_plan copy = view.View(plan);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rank, 2);
    EXPECT_EQ(copy->n[0], size);
    EXPECT_EQ(copy->n[1], size / 2 + 1);  // the real transform keeps the half spectrum
    EXPECT_EQ(copy->plans, plan->plans);
    if (plan->nwork > 0) {
      EXPECT_NE(copy->work, plan->work);  // scratch of its own
    }
    rfftwnd_destroy_plan(plan);
  }
}

}  // namespace tarvex
