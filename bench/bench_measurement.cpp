// Cost of one whole point measurement (correlation, four-peak search with sub-pixel fits)
// next to the correlation alone, for 32 x 32 and 64 x 64 windows on a particle image.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "grid/PIVPoint.h"
#include "images/PIVImage.h"

namespace tarvex {

namespace {

constexpr int kSide = 256;

// Random Gaussian particles (sigma 1 px), the second image moved by (2.4, -1.3) px.
std::vector<uint16_t> ParticleImage(double dx, double dy) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> pos(-4.0, kSide + 4.0), amp(8000, 30000);
  std::vector<double> img(kSide * kSide, 0.0);
  for (int n = 0; n < kSide * kSide / 20; ++n) {
    const double px = pos(gen) + dx, py = pos(gen) + dy, a = amp(gen);
    for (int j = static_cast<int>(py) - 4; j <= static_cast<int>(py) + 4; ++j)
      for (int i = static_cast<int>(px) - 4; i <= static_cast<int>(px) + 4; ++i)
        if (i >= 0 && j >= 0 && i < kSide && j < kSide)
          img[j * kSide + i] += a * std::exp(-((i - px) * (i - px) + (j - py) * (j - py)) / 2.0);
  }
  std::vector<uint16_t> out(img.size());
  for (size_t k = 0; k < img.size(); ++k) out[k] = static_cast<uint16_t>(std::fmin(65535.0, img[k]));
  return out;
}

// The image-pair file holds 16-bit little-endian values: width, height, then the pixels.
void Put16(FILE* f, unsigned v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v & 0xff),
                              static_cast<unsigned char>((v >> 8) & 0xff)};
  fwrite(b, 1, 2, f);
}

// The image store over a pair file and the plan table, made once in a scratch directory
// that is removed again (the store has read its images by then).
struct Fixture {
  std::unique_ptr<PIVImage> image;
  FFTWplan* plans = nullptr;

  Fixture() {
    char tmpl[] = "/tmp/tarvex-bench-XXXXXX";
    char previous[4096];
    if (mkdtemp(tmpl) == nullptr || getcwd(previous, sizeof previous) == nullptr ||
        chdir(tmpl) != 0)
      abort();
    plans = BenchPlanTable();
    const std::string name = std::string(tmpl) + "/pair.img";
    FILE* f = fopen(name.c_str(), "wb");
    if (f == nullptr) abort();
    Put16(f, kSide);
    Put16(f, kSide);
    for (const auto& img : {ParticleImage(0, 0), ParticleImage(2.4, -1.3)})
      for (uint16_t px : img) Put16(f, px);
    fclose(f);
    image = std::make_unique<PIVImage>(name.c_str());
    if (!image->FopenFlag || plans == nullptr) abort();
    remove(name.c_str());
    if (chdir(previous) != 0) abort();
    rmdir(tmpl);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

std::unique_ptr<PIVPoint> MakePoint(int n) {
  auto p = std::make_unique<PIVPoint>(n, n, 0, Shared().plans);
  p->pivImage = Shared().image.get();
  p->setXY(kSide / 2.0f, kSide / 2.0f);
  return p;
}

void BM_CalculateCC(benchmark::State& state) {
  auto p = MakePoint(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(p->CalculateCC());
}

void BM_CalculateCCVelocity(benchmark::State& state) {
  auto p = MakePoint(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(p->CalculateCCVelocity());
  state.counters["Vx"] = p->Vx();
  state.counters["Vy"] = p->Vy();
}

BENCHMARK(BM_CalculateCC)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CalculateCCVelocity)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace tarvex
