#include "BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <rfftw.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "correlation/DefineFFTWPlans.h"

namespace tarvex {

void Quietly(const std::function<void()>& f) {
  std::fflush(stdout);
  const int saved = dup(1);
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  f();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(devnull);
}

FFTWplan* BenchPlanTable() {
  static FFTWplan* table = [] {
    char pattern[] = "/tmp/tarvex-bench-plans-XXXXXX";
    char previous[4096];
    if (mkdtemp(pattern) == nullptr || getcwd(previous, sizeof previous) == nullptr ||
        chdir(pattern) != 0)
      abort();
    FFTWplan* plans = nullptr;
    Quietly([&] { DefineFFTWPlans(&plans, 0, 1); });
    unlink(kWisdomFileName);
    if (chdir(previous) != 0 || plans == nullptr) abort();
    rmdir(pattern);
    return plans;
  }();
  return table;
}

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double BareTransformSeconds(FFTWplan* plans, int n, int count) {
  const FFTWplan* entry = SelectFFTWPlan(plans, n, n);
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

void WriteParticlePair(const std::string& path, int side) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> pos(-4.0, side + 4.0);
  const int n = static_cast<int>(0.02 * side * side);
  std::vector<double> px(n), py(n);
  for (int k = 0; k < n; k++) {
    px[k] = pos(gen);
    py[k] = pos(gen);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) abort();
  const uint16_t header[2] = {static_cast<uint16_t>(side), static_cast<uint16_t>(side)};
  if (std::fwrite(header, sizeof header, 1, f) != 1) abort();
  const double k2 = 8.0 / (2.5 * 2.5);
  for (int frame = 0; frame < 2; frame++) {
    std::vector<double> img(static_cast<size_t>(side) * side, 0.0);
    for (int k = 0; k < n; k++) {
      const double cx = px[k] + 3.3 * frame, cy = py[k] - 1.7 * frame;
      for (int y = std::max(0, int(cy) - 3); y <= std::min(side - 1, int(cy) + 3); y++)
        for (int x = std::max(0, int(cx) - 3); x <= std::min(side - 1, int(cx) + 3); x++)
          img[static_cast<size_t>(y) * side + x] +=
              3000.0 * std::exp(-k2 * ((x - cx) * (x - cx) + (y - cy) * (y - cy)));
    }
    std::vector<uint16_t> pixels(img.size());
    for (size_t i = 0; i < img.size(); i++) pixels[i] = static_cast<uint16_t>(std::min(img[i], 4095.0));
    if (std::fwrite(pixels.data(), sizeof(uint16_t), pixels.size(), f) != pixels.size()) abort();
  }
  if (std::fclose(f) != 0) abort();
}

}  // namespace tarvex
