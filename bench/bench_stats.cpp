// The statistics of a series from DPIV files: the throughput of the DPIV reading alone
// (whole-file read and the record scanner) and of pivstats' whole loop (reading, the grid
// check and Welford's update), in MB of DPIV text per second of processor time on one core.
// The files are those of a 1024 x 1024 pair with 32 x 32 windows every 16 px (63 x 63 points,
// about 250 kB each), written once in a scratch directory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "DpivFile.h"
#include "DpivRecords.h"
#include "SeriesReader.h"
#include "SeriesStatistics.h"

namespace {

constexpr int kFiles = 40;

// The series, written once: the files' names and their total size in bytes.
struct Series {
  std::string directory;
  std::vector<std::string> files;
  size_t bytes = 0;

  Series() {
    char pattern[] = "/tmp/bench-stats-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    directory = pattern;
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 0.6);
    std::uniform_real_distribution<double> peak(0.2, 0.95);
    for (int f = 0; f < kFiles; f++) {
      std::vector<VectorRecord> records;
      for (int j = 0; j < 63; j++)
        for (int i = 0; i < 63; i++)
          records.push_back({noise(random) < 1.2, 15.0 + 16 * i, 15.0 + 16 * j, 3.3 + noise(random),
                             -1.7 + noise(random), peak(random)});
      files.push_back(directory + "/run." + std::to_string(1000 + 2 * f) + ".dpiv");
      std::string error;
      if (WriteDpivFile(files.back().c_str(), records, error) != WriteStatus::Ok) std::abort();
      bytes += std::filesystem::file_size(files.back());
    }
  }
  ~Series() { std::filesystem::remove_all(directory); }
};

const Series& TheSeries() {
  static const Series series;
  return series;
}

void BM_ReadDpivRecords(benchmark::State& state) {
  const Series& series = TheSeries();
  std::string buffer, error;
  std::vector<VectorRecord> records;
  for (auto _ : state)
    for (const std::string& file : series.files) {
      if (!ReadDpivRecords(file, buffer, records, error)) state.SkipWithError(error.c_str());
      benchmark::DoNotOptimize(records.data());
    }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(series.bytes));
}
BENCHMARK(BM_ReadDpivRecords)->Unit(benchmark::kMillisecond);

void BM_SeriesStatistics(benchmark::State& state) {
  const Series& series = TheSeries();
  for (auto _ : state) {
    SeriesReader reader(series.files, Calibration());
    SeriesStatistics statistics;
    FieldFrame frame;
    while (reader.Next(frame)) statistics.Add(frame);
    if (!reader.Error().empty()) state.SkipWithError(reader.Error().c_str());
    benchmark::DoNotOptimize(statistics.Result().u_mean.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(series.bytes));
}
BENCHMARK(BM_SeriesStatistics)->Unit(benchmark::kMillisecond);

}  // namespace
