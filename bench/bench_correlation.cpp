// Cost of one point correlation (window extraction, conversion, three transforms, cross
// spectrum, shift, plane) with table plans, next to the bare cost of its three FFTW
// transforms (two forward, one inverse) of the same size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "correlation/DefineFFTWPlans.h"
#include "correlation/fftw-2d.h"
#include "grid/PIVPoint.h"

namespace tarvex {

namespace {

constexpr int kImageSide = 256;

// A scratch directory for the wisdom file and the image pair, removed at exit.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/tarvex-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    dir_ = pattern;
  }
  ~Scratch() {
    unlink(file("pair.img").c_str());
    rmdir(dir_.c_str());
  }
  std::string file(const char* name) const { return dir_ + "/" + name; }
  const std::string& path() const { return dir_; }

 private:
  std::string dir_;
};

// Gaussian particles on a dim background; the second image moved by (3, 2) pixels.
void WriteParticlePair(const std::string& path) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<double> position(0.0, kImageSide);
  std::vector<double> px(3000), py(3000);
  for (size_t k = 0; k < px.size(); ++k) {
    px[k] = position(gen);
    py[k] = position(gen);
  }
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) abort();
  const uint16_t header[2] = {kImageSide, kImageSide};
  fwrite(header, sizeof header, 1, f);
  for (double shift : {0.0, 1.0}) {
    std::vector<double> image(kImageSide * kImageSide, 80.0);
    for (size_t k = 0; k < px.size(); ++k) {
      const int cx = static_cast<int>(px[k] + 3 * shift), cy = static_cast<int>(py[k] + 2 * shift);
      for (int y = cy - 2; y <= cy + 2; ++y) {
        for (int x = cx - 2; x <= cx + 2; ++x) {
          if (x < 0 || y < 0 || x >= kImageSide || y >= kImageSide) continue;
          const double dx = x - px[k] - 3 * shift, dy = y - py[k] - 2 * shift;
          image[y * kImageSide + x] += 3000.0 * std::exp(-(dx * dx + dy * dy) / 2.0);
        }
      }
    }
    std::vector<uint16_t> pixels(image.size());
    for (size_t k = 0; k < image.size(); ++k) pixels[k] = static_cast<uint16_t>(std::min(image[k], 4095.0));
    fwrite(pixels.data(), sizeof(uint16_t), pixels.size(), f);
  }
  fclose(f);
}

struct Fixture {
  Scratch scratch;
  FFTWplan* plans;
  PIVImage* image;
  Fixture() {
    plans = BenchPlanTable();
    WriteParticlePair(scratch.file("pair.img"));
    Quietly([&] { image = new PIVImage(scratch.file("pair.img").c_str()); });
  }
  ~Fixture() { delete image; }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_PointCalculateCC(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Fixture& fx = Shared();
  PIVPoint point(n, n, 0, fx.plans);
  point.pivImage = fx.image;
  point.setXY(kImageSide / 2, kImageSide / 2);
  for (auto _ : state) {
    if (!point.CalculateCC()) state.SkipWithError("correlation failed");
    benchmark::DoNotOptimize(point.PIV()->CC);
  }
}

void BM_BareTransforms(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const FFTWplan* entry = SelectFFTWPlan(Shared().plans, n, n);
  RealCCWork work;
  if (!work.Allocate(n, n, true)) abort();
  for (int k = 0; k < n * n; ++k) {
    work.fI1.data[k] = (k * 7919 % 4096) / 4096.0;
    work.fI2.data[k] = (k * 104729 % 4096) / 4096.0;
  }
  fftw_real* out = reinterpret_cast<fftw_real*>(work.S12.data);
  for (auto _ : state) {
    rfftwnd_one_real_to_complex(entry->Forward, work.fI1.data, work.fft1.data);
    rfftwnd_one_real_to_complex(entry->Forward, work.fI2.data, work.fft2.data);
    rfftwnd_one_complex_to_real(entry->Inverse, work.fft1.data, out);
    benchmark::DoNotOptimize(out);
  }
}

}  // namespace

BENCHMARK(BM_PointCalculateCC)->Arg(32)->Arg(64);
BENCHMARK(BM_BareTransforms)->Arg(32)->Arg(64);

}  // namespace tarvex
