// Whole series runs as a user starts them: 40 pivsynth pairs of 1024 x 1024 px, 32 x 32
// windows at 16 px, analysed by tarvex on 1 and 2 threads and by tarvex-mpi on 2 ranks, in
// one run so that the figures compare as ratios on a shared machine. Wall time per series;
// also the launcher alone and a finished run resumed (-resume checks the files and analyses
// nothing).
//
//   build/bin/bench_series --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kBin = TARVEX_BIN_DIR;
constexpr int kPairs = 40;

// Runs argv in dir with standard output and error discarded; its exit status.
int Run(const std::vector<std::string>& args, const std::string& dir) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The series, made once per program in a scratch directory.
const std::string& SeriesDirectory() {
  static const std::string dir = [] {
    char name[] = "/tmp/tarvex-bench-series-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    if (Run({kBin + "/pivsynth", "--size", "1024x1024", "--pairs", std::to_string(kPairs), "--field", "vortex",
             "--gamma", "3000", "--core", "80", "--noise", "20", "--out", "s.b16"},
            name) != 0)
      std::abort();
    return std::string(name);
  }();
  return dir;
}

void RemoveOutputs() { Run({"/bin/sh", "-c", "rm -f s.*.dpiv"}, SeriesDirectory()); }

std::vector<std::string> Options(const std::string& mode) {
  std::vector<std::string> o = {"-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "s.b16"};
  if (mode == "gauss3") o.insert(o.begin(), {"-subpix", "gauss3"});
  if (mode == "gauss3 -meansub") o.insert(o.begin(), {"-subpix", "gauss3", "-meansub"});
  return o;
}

void TimeSeries(benchmark::State& state, const std::vector<std::string>& command) {
  const std::string& dir = SeriesDirectory();
  Run({kBin + "/tarvex", "-dft", "32", "s.b16"}, dir);  // the wisdom file, once
  for (auto _ : state) {
    state.PauseTiming();
    RemoveOutputs();
    state.ResumeTiming();
    if (Run(command, dir) != 0) state.SkipWithError("the run failed");
  }
  state.counters["ms_per_pair"] =
      benchmark::Counter(kPairs * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Tarvex(benchmark::State& state, const std::string& mode, int threads) {
  std::vector<std::string> command = {kBin + "/tarvex", "-j", std::to_string(threads)};
  const std::vector<std::string> o = Options(mode);
  command.insert(command.end(), o.begin(), o.end());
  TimeSeries(state, command);
}

void BM_TarvexMpi(benchmark::State& state, const std::string& mode, int ranks) {
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  std::vector<std::string> command = {TARVEX_MPIEXEC, "--oversubscribe", "-n", std::to_string(ranks),
                                      kBin + "/tarvex-mpi"};
  const std::vector<std::string> o = Options(mode);
  command.insert(command.end(), o.begin(), o.end());
  TimeSeries(state, command);
}

// The launcher alone starting two processes that do nothing: the part of a tarvex-mpi
// series that does not shrink with the ranks.
void BM_MpiLaunch(benchmark::State& state) {
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  for (auto _ : state)
    if (Run({TARVEX_MPIEXEC, "--oversubscribe", "-n", "2", "/bin/true"}, SeriesDirectory()) != 0)
      state.SkipWithError("the launch failed");
}

// A finished run resumed: every pair's files exist, nothing is analysed.
void BM_ResumeFinished(benchmark::State& state) {
  const std::string& dir = SeriesDirectory();
  std::vector<std::string> command = {kBin + "/tarvex", "-resume"};
  const std::vector<std::string> o = Options("gauss3");
  command.insert(command.end(), o.begin(), o.end());
  RemoveOutputs();
  Run(command, dir);
  for (auto _ : state)
    if (Run(command, dir) != 0) state.SkipWithError("the run failed");
}

}  // namespace

BENCHMARK_CAPTURE(BM_Tarvex, gauss3_j1, "gauss3", 1)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Tarvex, gauss3_j2, "gauss3", 2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_TarvexMpi, gauss3_n2, "gauss3", 2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Tarvex, meansub_j1, "gauss3 -meansub", 1)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Tarvex, meansub_j2, "gauss3 -meansub", 2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Tarvex, default_j1, "default", 1)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Tarvex, default_j2, "default", 2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_MpiLaunch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ResumeFinished)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
