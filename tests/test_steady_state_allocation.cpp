// Measuring the points of a grid allocates nothing once the buffers are made, and a grid
// holds no buffers per point: a counting allocator (global operator new and the C
// allocation functions of this program, FFTW's included) around grid builds and passes.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "AnalysisPresets.h"
#include "PairAnalysis.h"
#include "ParseParameters.h"
#include "PlanTable.h"
#include "SeriesPlan.h"
#include "SeriesRun.h"
#include "TestSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "deform/DeformationPasses.h"
#include "grid/PIVGrid.h"
#include "grid/PIVPoint.h"
#include "images/PIVImage.h"

// The sanitizers bring allocators of their own, which replacing malloc would bypass.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVEX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TARVEX_SANITIZED 1
#endif
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> allocatedBytes{0};
// While set, operator new throws on every thread but the one that set it: memory running
// out inside the workers of a parallel pass.
std::atomic<bool> failOnOtherThreads{false};
std::thread::id failingExempt;
}  // namespace

#ifndef TARVEX_SANITIZED

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

static void Count(size_t bytes) {
  if (!counting.load(std::memory_order_relaxed)) return;
  allocations.fetch_add(1, std::memory_order_relaxed);
  allocatedBytes.fetch_add(static_cast<long>(bytes), std::memory_order_relaxed);
}

void* malloc(size_t size) {
  Count(size);
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  Count(count * size);
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
  Count(size);
  return __libc_realloc(p, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  Count(size);
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** p, size_t alignment, size_t size) {
  Count(size);
  *p = __libc_memalign(alignment, size);
  return *p != nullptr ? 0 : ENOMEM;
}
void free(void* p) { __libc_free(p); }
}

void* operator new(size_t size) {
  Count(size);
  if (failOnOtherThreads.load() && std::this_thread::get_id() != failingExempt) throw std::bad_alloc();
  if (void* p = __libc_malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  Count(size);
  return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { __libc_free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { __libc_free(p); }

#endif

namespace tarvex {

namespace {

// Allocations made while f runs, and their bytes.
struct Allocated {
  long count;
  long bytes;
};
template <typename F>
Allocated AllocatedDuring(F f) {
  allocations = 0;
  allocatedBytes = 0;
  counting = true;
  f();
  counting = false;
  return {allocations.load(), allocatedBytes.load()};
}
template <typename F>
long AllocationsDuring(F f) {
  return AllocatedDuring(f).count;
}


// The mean of the valid vectors is the shift to within 0.15 px: single vectors of the default
// fit are peak-locked by up to half a pixel, and their mean by 0.10 to 0.12 px toward the
// whole pixel here, but a sub-pixel fault (a half-pixel offset, a wrong sign) moves the mean
// by far more than that.
void ExpectMeanShift(const PIVGrid& grid) {
  double u = 0, v = 0;
  int n = 0;
  for (int k = 0; k < grid.NX() * grid.NY(); k++) {
    if (!const_cast<PIVGrid&>(grid).Point(k).on()) continue;
    u += grid.VelocityX(k);
    v += grid.VelocityY(k);
    n++;
  }
  ASSERT_GT(n, 0);
  EXPECT_NEAR(u / n, 2.3, 0.15);
  EXPECT_NEAR(v / n, -1.2, 0.15);
}

// A 256 x 256 pair shifted by (2.3, -1.2) px in a fresh directory, and its image store.
class SteadyState : public testing::Test {
 protected:
  void SetUp() override {
#ifdef TARVEX_SANITIZED
    GTEST_SKIP() << "the sanitizers replace the allocator themselves";
#endif
    const RunResult r = RunProgram("pivsynth",
                                   {"--size", "256x256", "--dx", "2.3", "--dy", "-1.2", "--seed",
                                    "5", "--out", "p.b16"},
                                   dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    plans = Plans();
    image = new PIVImage(dir.file("p.b16").c_str());
    ASSERT_TRUE(image->FopenFlag);
  }
  void TearDown() override { delete image; }

  // Checks that a second pass allocates nothing and still measures the shift (to within
  // the fit's bias on small windows).
  void ExpectSecondPassAllocatesNothing(PIVGrid& grid) {
    grid.CalculateGridTARVEX();
    EXPECT_EQ(AllocationsDuring([&] { grid.CalculateGridTARVEX(); }), 0);
    const int centre = (grid.NY() / 2) * grid.NX() + grid.NX() / 2;
    EXPECT_EQ(grid.Point(centre).on(), 1);
    ExpectMeanShift(grid);
  }

  TempDir dir;
  FFTWplan* plans = nullptr;
  PIVImage* image = nullptr;
};

TEST_F(SteadyState, TheCounterSeesEveryKindOfAllocation) {
  const long n = AllocationsDuring([] {
    int* volatile one = new int(1);
    delete one;
    int* volatile many = new int[8];
    delete[] many;
    void* volatile c = std::malloc(16);
    std::free(c);
  });
  EXPECT_EQ(n, 3);
}

// A point is its record: no window store, no plane. With the grid's two displacement
// values it stays within 256 bytes.
TEST(PointSize, APointAndItsDisplacementFitIn256Bytes) {
  EXPECT_LE(sizeof(PIVPoint) + 2 * sizeof(float), 256u);
}

// Building a grid allocates its arrays (points, Vx, Vy) and the workspace, whatever the
// number of points, and no more bytes per point than the point and its two values.
TEST_F(SteadyState, AGridBuildAllocatesOnlyThePointsRecords) {
  Allocated small{}, large{};
  small = AllocatedDuring([&] {
    PIVGrid grid(1, 9999, 5, 5, 0, 0, 16, 16, 0, 0, 32, 32, unknown, plans, image);
  });
  large = AllocatedDuring([&] {
    PIVGrid grid(1, 9999, 50, 50, 0, 0, 4, 4, 0, 0, 32, 32, unknown, plans, image);
  });
  EXPECT_EQ(large.count, small.count);
  const long perPoint = static_cast<long>(sizeof(PIVPoint) + 2 * sizeof(float));
  EXPECT_LE(large.bytes - small.bytes, (2500 - 25) * perPoint + 64);
}

// The first pass allocates the workspace's buffers, sized by the windows, not by the grid:
// 25 points and 2500 points cost the same.
TEST_F(SteadyState, AFirstPassAllocatesTheSameForAnyNumberOfPoints) {
  const auto firstPass = [&](int n, int spacing) {
    PIVGrid grid(1, 9999, n, n, 0, 0, spacing, spacing, 0, 0, 32, 32, unknown, plans, image);
    grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
    grid.setMeanSubtraction(true);
    const Allocated a = AllocatedDuring([&] { grid.CalculateGridTARVEX(); });
    ExpectMeanShift(grid);
    return a;
  };
  const Allocated small = firstPass(5, 16);
  const Allocated large = firstPass(50, 4);
  EXPECT_GT(small.count, 0);
  EXPECT_EQ(large.count, small.count);
  EXPECT_EQ(large.bytes, small.bytes);
}

TEST_F(SteadyState, SecondPassOf32PixelWindowsAllocatesNothing) {
  PIVGrid grid(1, 9999, 15, 15, 0, 0, 16, 16, 0, 0, 32, 32, unknown, plans, image);
  ExpectSecondPassAllocatesNothing(grid);
}

TEST_F(SteadyState, SecondPassOf64PixelWindowsAllocatesNothing) {
  PIVGrid grid(1, 9999, 6, 6, 0, 0, 32, 32, 0, 0, 64, 64, unknown, plans, image);
  ExpectSecondPassAllocatesNothing(grid);
}

TEST_F(SteadyState, SecondPassWithTheThreePointEstimatorAllocatesNothing) {
  PIVGrid grid(1, 9999, 15, 15, 0, 0, 16, 16, 0, 0, 32, 32, unknown, plans, image);
  grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
  grid.setMeanSubtraction(true);
  ExpectSecondPassAllocatesNothing(grid);
}

// A point measured on its own uses the calling thread's workspace, kept between calls.
TEST_F(SteadyState, PointMeasuredAgainOnItsOwnAllocatesNothing) {
  PIVPoint point(32, 32, 0, plans);
  point.pivImage = image;
  point.setXY(127, 127);
  ASSERT_TRUE(point.CalculateCCVelocity());
  EXPECT_EQ(AllocationsDuring([&] { EXPECT_TRUE(point.CalculateCCVelocity()); }), 0);
  EXPECT_EQ(point.PIV()->CC, nullptr) << "the plane is released; its storage is kept";
  // This window's fit is peak-locked to 1.83 px: within half a pixel, on the right side.
  EXPECT_NEAR(point.Vx(), 2.3, 0.5);
  EXPECT_NEAR(point.Vy(), -1.2, 0.5);
}

// A worker whose allocation fails stops the pass; the exception reaches the caller after
// every thread has been joined, instead of ending the program in std::terminate. The 36 x 36
// windows have no table plan, so every point holds back its messages (an allocation); there
// are enough of them that the calling thread cannot measure them all before a helper starts.
TEST_F(SteadyState, AnAllocationFailureInAWorkerReachesTheCaller) {
  PIVGrid grid(1, 9999, 27, 27, 0, 0, 8, 8, 0, 0, 36, 36, unknown, plans, image);
  grid.setThreads(3);
  testing::internal::CaptureStdout();
  failingExempt = std::this_thread::get_id();
  failOnOtherThreads = true;
  EXPECT_THROW(grid.CalculateGridTARVEX(), std::bad_alloc);
  failOnOtherThreads = false;
  const std::string held = testing::internal::GetCapturedStdout();
  // Nothing of the failed pass is printed, and the grid measures again afterwards.
  EXPECT_EQ(held, "");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(grid.CalculateGridTARVEX());
  EXPECT_NE(testing::internal::GetCapturedStdout().find("NO PLAN EXISTS"), std::string::npos);
  ExpectMeanShift(grid);
}

// A second run of the deformation passes on one thread allocates nothing: the images'
// coefficients, the deformed images, the predictor and the workspace are kept.
TEST_F(SteadyState, SecondDeformationRunAllocatesNothing) {
  PIVGrid grid(1, 9999, 15, 15, 0, 0, 16, 16, 0, 0, 32, 32, unknown, plans, image);
  grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
  grid.setMeanSubtraction(true);
  grid.CalculateGridTARVEX();
  WindowGrid g;
  g.nx = g.ny = 15;
  g.x0 = g.y0 = 15;
  g.dx = g.dy = 16;
  g.windowX = g.windowY = 32;
  std::vector<float> u(225), v(225), peak(225);
  std::vector<unsigned char> flag(225);
  const auto firstField = [&] {
    for (int k = 0; k < 225; ++k) {
      u[k] = grid.VelocityX(k);
      v[k] = grid.VelocityY(k);
      peak[k] = grid.Point(k).Rho();
      flag[k] = grid.Point(k).on();
    }
  };
  DeformationSettings settings;
  settings.passes = 2;
  settings.degree = BSplineDegree::Quintic;
  PassReport reports[2];
  DeformationPasses passes(1);
  const FFTWplan* plan = SelectFFTWPlan(plans, 32, 32);
  firstField();
  ASSERT_TRUE(passes.Run(ViewOf(*image), g, plan, settings,
                         {u.data(), v.data(), peak.data(), flag.data()}, reports));
  firstField();
  EXPECT_EQ(AllocationsDuring([&] {
              EXPECT_TRUE(passes.Run(ViewOf(*image), g, plan, settings,
                                     {u.data(), v.data(), peak.data(), flag.data()}, reports));
            }),
            0);
  EXPECT_NEAR(u[7 * 15 + 7], 2.3, 0.05);
  EXPECT_NEAR(v[7 * 15 + 7], -1.2, 0.05);
}

// The whole analysis of tarvex -deform 2 -dft0 64 on one thread: first passes, refinement
// passes, the field referred to the first image and handed to the grid, the console lines.
TEST_F(SteadyState, SecondDeformationAnalysisOfAPairAllocatesNothing) {
  AnalysisSettings s = Deformation32At16(2);
  s.firstWindow = 64;
  testing::internal::CaptureStdout();
  PairAnalysis analysis(s, plans, *image, StandardOutput());
  ASSERT_TRUE(analysis.Analyse(false));
  EXPECT_EQ(AllocationsDuring([&] { EXPECT_TRUE(analysis.Analyse(false)); }), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\tDeformation pass 2: 0 vectors replaced, RMS change "), std::string::npos) << out;
  ExpectMeanShift(analysis.Grid());
}

// The same with pre-processing: the pair processed into the analysis's store (background,
// high-pass, capping) and its windows judged before the passes, on one thread.
TEST_F(SteadyState, SecondPreprocessedAnalysisOfAPairAllocatesNothing) {
  AnalysisSettings s = Deformation32At16(2);
  s.subtractBackground = true;
  s.highPassSize = 15;
  s.capIntensity = true;
  testing::internal::CaptureStdout();
  PairAnalysis analysis(s, plans, *image, StandardOutput());
  BackgroundImage background;
  background.width = background.height = 256;
  background.sums.assign(256 * 256, 3);
  ASSERT_TRUE(analysis.SetBackground(background));
  ASSERT_TRUE(analysis.Analyse(false));
  EXPECT_EQ(AllocationsDuring([&] { EXPECT_TRUE(analysis.Analyse(false)); }), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\tNo particle images in 0 of 225 windows: not measured\n"), std::string::npos) << out;
  ExpectMeanShift(analysis.Grid());
}

// What a whole series run of tarvex allocates (analysis, read-ahead, write-behind, held-back
// text; everything but the plan table and the argument parsing) on the first `pairs` pairs
// of the series in dir.
Allocated SeriesRunAllocations(const TempDir& dir, FFTWplan* plans, int pairs) {
  std::vector<std::string> args = {"tarvex", "-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3",
                                   "-meansub", "-MVOcheck", "1", "-s", "-tec", dir.file("out"), "-all",
                                   "1", "1", "2", dir.file("s.b16")};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  TarvexSettings settings;
  int status = 0;
  testing::internal::CaptureStdout();
  const bool parsed = ParseParameters(static_cast<int>(argv.size()), argv.data(), settings, status);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(parsed);
  size_t written = 0;
  const Allocated a = AllocatedDuring([&] {
    std::string text;
    Console console(&text);
    PIVImage image(settings.filename, console);
    std::vector<PairJob> jobs;
    std::string error;
    EXPECT_TRUE(PlanRun(settings, image.NumberImages(), jobs, error));
    jobs.resize(static_cast<size_t>(pairs));
    PairAnalysis analysis(ToAnalysisSettings(settings), plans, image, console);
    SeriesRun run(settings, image, analysis, console);
    EXPECT_TRUE(run.Run(jobs, 0, jobs.size(), [&](size_t, std::vector<ConsoleChunk>&&, bool ok) {
      written += ok ? 1 : 0;
    }));
  });
  EXPECT_EQ(written, static_cast<size_t>(pairs));
  return a;
}

// Each further pair of a series allocates only its file names, its files' stream buffers
// (4 KiB each), its held-back text and its threads' records, about 11 KiB: no image, window,
// plane, grid or record buffer is made again. A pair of 256 x 256 images is 256 KiB, the 225
// points' records about 50 KiB and a copy of the field for a file 10.8 KiB, so a per-pair
// buffer of any of these kinds breaks the bound of 16 KiB a pair.
TEST_F(SteadyState, EachFurtherPairOfASeriesAllocatesNoBuffer) {
  const RunResult r = RunProgram("pivsynth",
                                 {"--size", "256x256", "--pairs", "9", "--field", "vortex", "--gamma",
                                  "600", "--core", "40", "--seed", "3", "--out", "s.b16"},
                                 dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const Allocated three = SeriesRunAllocations(dir, plans, 3);
  const Allocated nine = SeriesRunAllocations(dir, plans, 9);
  const long bytesPerPair = (nine.bytes - three.bytes) / 6;
  EXPECT_GT(three.bytes, 2 * 256 * 256 * 2);  // the store's images: the counter sees them
  EXPECT_LT(bytesPerPair, 16 * 1024) << "allocations per pair " << (nine.count - three.count) / 6;
}

}  // namespace

}  // namespace tarvex
