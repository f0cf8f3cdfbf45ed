// The background pass of tarvex -bg min / -bg mean (EstimateSeriesBackground) next to a plain
// sequential read of the same file, with the file's pages in the page cache (warm) and
// dropped before every iteration (cold: read from the disk), and two passes at once, as two
// ranks of tarvex-mpi on one machine would make if each made the background itself. Bytes
// per second of the file; wall time.
//
//   TARVEX_BG_SERIES=/tmp/s.b16 build/bin/bench_background --benchmark_repetitions=3
//
// Without TARVEX_BG_SERIES a series of 16 pairs of 1024 x 1024 px (64 MiB) is made with
// pivsynth in a scratch directory; bench/background_speed.sh makes a 1 GiB one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ImagePairFile.h"
#include "preprocess/SeriesBackground.h"

namespace tarvex {

namespace {

const std::string kBin = TARVEX_BIN_DIR;

// The scratch directory of a series made here, removed when the program ends.
char madeDirectory[] = "/tmp/tarvex-bench-background-XXXXXX";

void RemoveMadeSeries() {
  std::remove((std::string(madeDirectory) + "/s.b16").c_str());
  std::remove((std::string(madeDirectory) + "/s.b16.truth").c_str());
  rmdir(madeDirectory);
}

// The series: TARVEX_BG_SERIES, or one made once per program.
const std::string& Series() {
  static const std::string path = [] {
    if (const char* given = std::getenv("TARVEX_BG_SERIES")) return std::string(given);
    if (mkdtemp(madeDirectory) == nullptr) std::abort();
    std::atexit(RemoveMadeSeries);
    const std::string file = std::string(madeDirectory) + "/s.b16";
    const std::string command = kBin + "/pivsynth --size 1024x1024 --pairs 16 --out " + file + " >/dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
    return file;
  }();
  return path;
}

long long FileBytes() {
  FILE* f = std::fopen(Series().c_str(), "rb");
  if (f == nullptr) std::abort();
  std::fseek(f, 0, SEEK_END);
  const long long bytes = std::ftell(f);
  std::fclose(f);
  return bytes;
}

// Drops the file's pages from the page cache (after writing back any still dirty).
void DropFromCache() {
  const int fd = open(Series().c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

// Reads every image of the file in order, as the background pass does, doing nothing else.
void ReadWholeFile() {
  ImagePairFileReader file;
  if (file.Open(Series().c_str()) != ImagePairFileReader::Status::Ok) std::abort();
  std::vector<uint16_t> image(static_cast<size_t>(file.PixelsPerImage()));
  for (int id = 1; id <= file.NumberImages(); ++id)
    if (file.ReadImage(id, image.data()) != image.size()) std::abort();
}

void Pass(BackgroundStatistic statistic) {
  BackgroundImage background;
  if (!EstimateSeriesBackground(Series().c_str(), statistic, nullptr, [](int, int) {}, background)) std::abort();
  benchmark::DoNotOptimize(background.sums.data());
}

// Runs work once per iteration over the whole file; cold drops the file's pages first.
template <typename Work>
void OverTheFile(benchmark::State& state, bool cold, Work work) {
  const long long bytes = FileBytes();
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      DropFromCache();
      state.ResumeTiming();
    }
    work();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Read(benchmark::State& state) { OverTheFile(state, state.range(0) != 0, ReadWholeFile); }
void BM_BackgroundMinimum(benchmark::State& state) {
  OverTheFile(state, state.range(0) != 0, [] { Pass(BackgroundStatistic::Minimum); });
}
void BM_BackgroundMean(benchmark::State& state) {
  OverTheFile(state, state.range(0) != 0, [] { Pass(BackgroundStatistic::Mean); });
}
// Two passes at once over the same file, each with its own reader.
void BM_BackgroundOnTwoRanks(benchmark::State& state) {
  OverTheFile(state, state.range(0) != 0, [] {
    std::thread other([] { Pass(BackgroundStatistic::Minimum); });
    Pass(BackgroundStatistic::Minimum);
    other.join();
  });
}

// Argument: 1 cold, 0 warm.
BENCHMARK(BM_Read)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BackgroundMinimum)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BackgroundMean)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BackgroundOnTwoRanks)->ArgName("cold")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

}  // namespace tarvex
