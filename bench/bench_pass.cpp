// One whole single pass of a grid over a 1024 x 1024 particle image pair (32 x 32 windows
// every 16 px, 64 x 64 windows every 32 px), with the least-squares fit or the three-point
// estimator (with or without mean subtraction), on 1 or 2 threads, and with a mask: microseconds of
// processor time per vector (summed over the threads; a vector is a correlated point),
// microseconds of wall time per vector, points per second, and the pass time over the bare
// cost of the same number of correlations' transforms (2 forward + 1 inverse), measured in
// the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "grid/PIVGrid.h"
#include "mask/FlowMask.h"

namespace tarvex {

namespace {

constexpr int kSide = 1024;

// Everything a pass needs, made once: a scratch directory with the wisdom file and a
// pair of Gaussian-particle images (0.02 particles per pixel, diameter 2.5 px) moved by
// (3.3, -1.7) px, the plan table and the image store.
struct Setup {
  std::string dir;
  FFTWplan* plans = nullptr;
  PIVImage* image = nullptr;

  Setup() {
    char pattern[] = "/tmp/tarvex-bench-pass-XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    dir = pattern;
    WriteParticlePair(dir + "/pair.b16", kSide);
    char previous[4096];
    if (getcwd(previous, sizeof previous) == nullptr || chdir(dir.c_str()) != 0) abort();
    plans = BenchPlanTable();
    Quietly([&] { image = new PIVImage((dir + "/pair.b16").c_str()); });
    if (chdir(previous) != 0 || plans == nullptr || !image->FopenFlag) abort();
  }
  ~Setup() {
    delete image;
    unlink((dir + "/pair.b16").c_str());
    rmdir(dir.c_str());
  }
};

Setup& Shared() {
  static Setup setup;
  return setup;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Arguments: window size n, spacing, threads, and the sub-pixel mode: 0 the least-squares
// fit (the default), 1 the three-point estimator, 2 the three-point estimator on
// mean-subtracted windows (-subpix gauss3 -meansub).
void BM_SinglePass(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0)), del = static_cast<int>(state.range(1));
  Setup& s = Shared();
  const int g = (kSide - n) / del + 1;  // the driver's grid size
  PIVGrid grid(1, 9999, g, g, 0, 0, del, del, 0, 0, n, n, unknown, s.plans, s.image);
  grid.setThreads(static_cast<int>(state.range(2)));
  if (state.range(3) >= 1) grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
  grid.setMeanSubtraction(state.range(3) == 2);
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    grid.CalculateGridTARVEX();
    cpu += CpuSeconds() - c0;
    wall += WallSeconds() - w0;
  }
  // The points whose windows fit are correlated: the last grid row and column are not.
  int correlated = 0;
  for (int k = 0; k < g * g; k++) correlated += grid.Point(k).CheckSubImageWithinImage() ? 1 : 0;
  const double vectors = static_cast<double>(correlated) * static_cast<double>(state.iterations());
  state.counters["points"] = g * g;
  state.counters["vectors"] = correlated;
  state.counters["us_cpu_per_vector"] = 1e6 * cpu / vectors;
  state.counters["us_wall_per_vector"] = 1e6 * wall / vectors;
  state.counters["points_per_s"] =
      benchmark::Counter(static_cast<double>(g) * g, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["x_bare_fft"] =
      (cpu / static_cast<double>(state.iterations())) / BareTransformSeconds(s.plans, n, correlated);
}

// The default pass (32 x 32 windows every 16 px, one thread) with a mask: 0 none, 1 a
// mask without a masked pixel (every window asks it, and every one takes the usual path),
// 2 a disc of radius 160 px at the image centre (a quarter of the points' windows touch it
// or lie in it). Processor time per grid point, for ratios between the three in one run.
void BM_MaskedPass(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  Setup& s = Shared();
  const int g = (kSide - 32) / 16 + 1;
  PIVGrid grid(1, 9999, g, g, 0, 0, 16, 16, 0, 0, 32, 32, unknown, s.plans, s.image);
  MaskImage pixels(kSide, kSide);
  for (int y = 0; y < kSide && kind == 2; y++)
    for (int x = 0; x < kSide; x++)
      pixels.Set(x, y, (x - kSide / 2) * (x - kSide / 2) + (y - kSide / 2) * (y - kSide / 2) > 160 * 160);
  const FlowMask mask(std::move(pixels));
  const int masked = kind > 0 ? grid.setMask(&mask, 32, 32) : 0;
  double cpu = 0;
  for (auto _ : state) {
    const double c0 = CpuSeconds();
    grid.CalculateGridTARVEX();
    cpu += CpuSeconds() - c0;
  }
  state.counters["masked_points"] = masked;
  state.counters["us_cpu_per_point"] = 1e6 * cpu / (static_cast<double>(g) * g * state.iterations());
}

}  // namespace

BENCHMARK(BM_MaskedPass)->ArgName("mask")->DenseRange(0, 2)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// Processor time summed over all threads, iterations timed by the wall clock.
BENCHMARK(BM_SinglePass)
    ->ArgNames({"n", "del", "threads", "mode"})
    ->ArgsProduct({{32}, {16}, {1, 2}, {0, 1, 2}})
    ->ArgsProduct({{64}, {32}, {1, 2}, {0, 1, 2}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace tarvex
