// A single pair as a whole process: the built tarvex (next to this program) analyses a
// 1024 x 1024 particle image pair with 32 x 32 windows every 16 px, one thread, in the
// default mode or with -subpix gauss3 -meansub. Processor time of the child per run
// (reading the images, the plans, the pass, writing the file, starting and ending), and that
// time over the bare cost of the same number of correlations' transforms, measured in the
// same run. The first run writes the wisdom file every later run reads, as in a directory
// where tarvex has run before.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace tarvex {

namespace {

constexpr int kSide = 1024;
constexpr int kWindow = 32;
constexpr int kSpacing = 16;
// Windows that fit: the last grid column and row would include the image's last column or row.
constexpr int kCorrelated = ((kSide - kWindow) / kSpacing) * ((kSide - kWindow) / kSpacing);

struct Scratch {
  std::string dir;
  std::string tarvex;
  Scratch() {
    char pattern[] = "/tmp/tarvex-bench-process-XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    dir = pattern;
    WriteParticlePair(dir + "/pair.b16", kSide);
    FILE* in = std::fopen((dir + "/answers").c_str(), "w");
    if (in == nullptr || std::fputs("1 2\n", in) < 0 || std::fclose(in) != 0) abort();
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) abort();
    self[length] = '\0';
    const std::string path(self);
    tarvex = path.substr(0, path.rfind('/') + 1) + "tarvex";
    if (access(tarvex.c_str(), X_OK) != 0) abort();
  }
  ~Scratch() {
    for (const char* name : {"pair.b16", "answers", "pair.dpiv", "FFTPlans.Wisdom.dat"})
      unlink((dir + "/" + name).c_str());
    rmdir(dir.c_str());
  }
};

Scratch& Shared() {
  static Scratch scratch;
  return scratch;
}

// Runs tarvex with the arguments in the scratch directory, its standard input the answers,
// its output discarded; returns the child's processor seconds. Aborts unless it succeeds.
double RunTarvex(const std::vector<std::string>& args) {
  const Scratch& s = Shared();
  const pid_t child = fork();
  if (child < 0) abort();
  if (child == 0) {
    const int in = open((s.dir + "/answers").c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || chdir(s.dir.c_str()) != 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
        dup2(out, 2) < 0)
      _exit(127);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(s.tarvex.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(s.tarvex.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) abort();
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Argument: 0 the default mode, 2 -subpix gauss3 -meansub.
void BM_SinglePairProcess(benchmark::State& state) {
  std::vector<std::string> args = {"-dft", "32", "-gspac", "16", "16"};
  if (state.range(0) == 2) args.insert(args.end(), {"-subpix", "gauss3", "-meansub"});
  args.push_back("pair.b16");
  RunTarvex(args);  // writes the wisdom file
  double cpu = 0;
  for (auto _ : state) cpu += RunTarvex(args);
  const double perRun = cpu / static_cast<double>(state.iterations());
  state.counters["ms_cpu_per_pair"] = 1e3 * perRun;
  state.counters["us_cpu_per_vector"] = 1e6 * perRun / kCorrelated;
  state.counters["x_bare_fft"] = perRun / BareTransformSeconds(BenchPlanTable(), kWindow, kCorrelated);
}

// The window-deformation analysis as a whole process against the accurate single pass as a
// whole process, the two run by turns in the same iterations (the machine is shared: the
// ratio is what counts). Argument: refinement passes.
void BM_DeformProcessVsSinglePass(benchmark::State& state) {
  const std::vector<std::string> single = {"-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3", "-meansub", "pair.b16"};
  const std::vector<std::string> deform = {"-dft", "32", "-gspac", "16", "16", "-deform",
                                           std::to_string(state.range(0)), "pair.b16"};
  RunTarvex(single);  // writes the wisdom file
  double singleCpu = 0, deformCpu = 0;
  for (auto _ : state) {
    singleCpu += RunTarvex(single);
    deformCpu += RunTarvex(deform);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["single_ms_cpu"] = 1e3 * singleCpu / runs;
  state.counters["deform_ms_cpu"] = 1e3 * deformCpu / runs;
  state.counters["x_single_process"] = deformCpu / singleCpu;
}

}  // namespace

BENCHMARK(BM_DeformProcessVsSinglePass)->ArgName("passes")->Arg(3)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SinglePairProcess)->ArgName("mode")->Arg(0)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace tarvex
