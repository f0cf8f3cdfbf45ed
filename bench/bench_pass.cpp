// One whole single pass of a grid over a 1024 x 1024 particle image pair (32 x 32 windows
// every 16 px, 64 x 64 windows every 32 px), with the least-squares fit or the three-point
// estimator (with or without mean subtraction), on 1 or 2 threads: microseconds of processor time per vector (summed over the
// threads), microseconds of wall time per vector, points per second, and the pass time
// over the bare cost of the same number of correlations' transforms (2 forward + 1 inverse).
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
#include <vector>

#include "BenchSupport.h"
#include "DefineFFTWPlans.h"
#include "PIVGrid.h"

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
    WritePair(dir + "/pair.b16");
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

  static void WritePair(const std::string& path) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> pos(-4.0, kSide + 4.0);
    const int n = static_cast<int>(0.02 * kSide * kSide);
    std::vector<double> px(n), py(n);
    for (int k = 0; k < n; k++) {
      px[k] = pos(gen);
      py[k] = pos(gen);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) abort();
    const uint16_t header[2] = {kSide, kSide};
    std::fwrite(header, sizeof header, 1, f);
    const double k2 = 8.0 / (2.5 * 2.5);
    for (int frame = 0; frame < 2; frame++) {
      std::vector<double> img(static_cast<size_t>(kSide) * kSide, 0.0);
      for (int k = 0; k < n; k++) {
        const double cx = px[k] + 3.3 * frame, cy = py[k] - 1.7 * frame;
        for (int y = std::max(0, int(cy) - 3); y <= std::min(kSide - 1, int(cy) + 3); y++)
          for (int x = std::max(0, int(cx) - 3); x <= std::min(kSide - 1, int(cx) + 3); x++)
            img[static_cast<size_t>(y) * kSide + x] +=
                3000.0 * std::exp(-k2 * ((x - cx) * (x - cx) + (y - cy) * (y - cy)));
      }
      std::vector<uint16_t> pixels(img.size());
      for (size_t i = 0; i < img.size(); i++)
        pixels[i] = static_cast<uint16_t>(std::min(img[i], 4095.0));
      std::fwrite(pixels.data(), sizeof(uint16_t), pixels.size(), f);
    }
    std::fclose(f);
  }
};

// Processor time of this process in seconds: the machine may be shared, so wall time
// would mix in other work.
double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

Setup& Shared() {
  static Setup setup;
  return setup;
}

// Seconds for `count` correlations' worth of bare transforms with the table plans for
// an n x n window: two forward, one inverse each; the best of three rounds.
double BareTransformSeconds(int n, int count) {
  const FFTWplan* entry = SelectFFTWPlan(Shared().plans, n, n);
  if (entry == nullptr) abort();
  std::vector<fftw_real> in1(n * n), in2(n * n), out(n * n);
  std::vector<fftw_complex> f1(n * (n / 2 + 1)), f2(n * (n / 2 + 1));
  for (int k = 0; k < n * n; k++) {
    in1[k] = (k * 7919 % 4096) / 4096.0;
    in2[k] = (k * 104729 % 4096) / 4096.0;
  }
  double best = 1e30;
  for (int round = 0; round < 3; round++) {
    const double t0 = CpuSeconds();
    for (int c = 0; c < count; c++) {
      rfftwnd_one_real_to_complex(entry->Forward, in1.data(), f1.data());
      rfftwnd_one_real_to_complex(entry->Forward, in2.data(), f2.data());
      rfftwnd_one_complex_to_real(entry->Inverse, f1.data(), out.data());
      benchmark::DoNotOptimize(out.data());
    }
    best = std::min(best, CpuSeconds() - t0);
  }
  return best;
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
  const double vectors = static_cast<double>(g) * g * static_cast<double>(state.iterations());
  state.counters["points"] = g * g;
  state.counters["us_cpu_per_vector"] = 1e6 * cpu / vectors;
  state.counters["us_wall_per_vector"] = 1e6 * wall / vectors;
  state.counters["points_per_s"] =
      benchmark::Counter(static_cast<double>(g) * g, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["x_bare_fft"] =
      (cpu / static_cast<double>(state.iterations())) / BareTransformSeconds(n, g * g);
}

}  // namespace

// Processor time summed over all threads, iterations timed by the wall clock.
BENCHMARK(BM_SinglePass)
    ->ArgNames({"n", "del", "threads", "mode"})
    ->ArgsProduct({{32}, {16}, {1, 2}, {0, 1, 2}})
    ->ArgsProduct({{64}, {32}, {1, 2}, {0, 1, 2}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
