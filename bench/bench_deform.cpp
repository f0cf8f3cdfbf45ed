// One refinement pass of the deformation analysis next to one accurate single pass
// (three-point Gaussian estimator, mean subtraction) over a 1024 x 1024 pivsynth pair
// moved by (3.3, -1.7) px, 32 x 32 windows every 16 px, on the same threads, timed
// alternately in the same iterations so that both see the same load on a shared machine.
// A refinement run of P passes includes the prefilter of both images (once per run), and
// per pass the median test, the replacement, the predictor, the deformation of both
// images and the correlations. Counters: microseconds of processor time per vector (summed
// over the threads) of the single pass and of one refinement pass (the run over P), and
// their ratio x_single_pass. A second benchmark times the whole analysis of the pair as
// tarvex -deform P runs it (first pass, P passes, the field referred to the first image)
// against the accurate single-pass analysis, counter x_single_analysis. A third times that
// analysis with the vectors' uncertainties (correlation statistics) against the same
// analysis without them, counter x_without (the target is at most 1.15).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "PairAnalysis.h"
#include "SynthBridge.h"
#include "correlation/DefineFFTWPlans.h"
#include "deform/DeformationPasses.h"
#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

constexpr int kSide = 1024, kWindow = 32, kSpacing = 16;

struct Setup {
  std::string dir;
  FFTWplan* plans = nullptr;
  PIVImage* image = nullptr;

  Setup() {
    char pattern[] = "/tmp/tarvex-bench-deform-XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    dir = pattern;
    DisplacementField field;
    field.dx = 3.3;
    field.dy = -1.7;
    if (!WriteSyntheticPair(dir + "/pair.b16", kSide, field, 7)) abort();
    plans = BenchPlanTable();
    Quietly([&] { image = new PIVImage((dir + "/pair.b16").c_str()); });
    if (!image->FopenFlag) abort();
  }
  ~Setup() {
    delete image;
    unlink((dir + "/pair.b16").c_str());
    unlink((dir + "/pair.b16.truth").c_str());
    rmdir(dir.c_str());
  }
};

Setup& Shared() {
  static Setup setup;
  return setup;
}

// Processor time of the whole process (all threads): the machine is shared.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Arguments: threads, spline degree (3 or 5), passes per refinement run.
void BM_RefinementVsSinglePass(benchmark::State& state) {
  Setup& s = Shared();
  const int threads = static_cast<int>(state.range(0));
  WindowGrid g;
  g.nx = g.ny = (kSide - kWindow) / kSpacing + 1;
  g.x0 = g.y0 = kWindow / 2 - 1;
  g.dx = g.dy = kSpacing;
  g.windowX = g.windowY = kWindow;
  PIVGrid grid(1, 9999, g.nx, g.ny, 0, 0, kSpacing, kSpacing, 0, 0, kWindow, kWindow, unknown,
               s.plans, s.image);
  grid.setThreads(threads);
  grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
  grid.setMeanSubtraction(true);

  DeformationSettings settings;
  settings.passes = static_cast<int>(state.range(2));
  settings.degree = state.range(1) == 5 ? BSplineDegree::Quintic : BSplineDegree::Cubic;
  DeformationPasses refiner(threads);
  const int n = g.Points();
  std::vector<float> u(n), v(n), peak(n);
  std::vector<unsigned char> flag(n);
  std::vector<PassReport> reports(static_cast<size_t>(settings.passes));
  const FFTWplan* plan = SelectFFTWPlan(s.plans, kWindow, kWindow);

  double single = 0, refine = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    grid.CalculateGridTARVEX();
    const double t1 = CpuSeconds();
    state.PauseTiming();
    for (int k = 0; k < n; ++k) {
      u[k] = grid.VelocityX(k);
      v[k] = grid.VelocityY(k);
      peak[k] = grid.Point(k).Rho();
      flag[k] = grid.Point(k).on();
    }
    state.ResumeTiming();
    const double t2 = CpuSeconds();
    const Status refined = refiner.Run(ViewOf(*s.image), g, plan, settings,
                                       {u.data(), v.data(), peak.data(), flag.data()}, reports.data());
    if (!refined) state.SkipWithError(refined.message());
    const double t3 = CpuSeconds();
    single += t1 - t0;
    refine += t3 - t2;
  }
  const double vectors = static_cast<double>(n) * static_cast<double>(state.iterations());
  state.counters["points"] = n;
  state.counters["single_us_cpu_per_vector"] = 1e6 * single / vectors;
  state.counters["pass_us_cpu_per_vector"] = 1e6 * refine / settings.passes / vectors;
  state.counters["x_single_pass"] = refine / settings.passes / single;
}

// Arguments: threads, refinement passes.
void BM_DeformAnalysisVsSinglePass(benchmark::State& state) {
  Setup& s = Shared();
  AnalysisSettings single;
  single.windowWidth = single.windowHeight = kWindow;
  single.spacingX = single.spacingY = kSpacing;
  single.subpix = SubPixelEstimator::Gauss3;
  single.meanSubtraction = true;
  single.threads = static_cast<int>(state.range(0));
  AnalysisSettings deform = single;
  deform.deformPasses = static_cast<int>(state.range(1));
  std::string text;
  Console quiet(&text);
  PairAnalysis singleAnalysis(single, s.plans, *s.image, quiet);
  PairAnalysis deformAnalysis(deform, s.plans, *s.image, quiet);

  double singleTime = 0, deformTime = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    const Status single = singleAnalysis.Analyse(false);
    const double t1 = CpuSeconds();
    const Status deformed = deformAnalysis.Analyse(false);
    if (!single || !deformed) state.SkipWithError(single ? deformed.message() : single.message());
    const double t2 = CpuSeconds();
    singleTime += t1 - t0;
    deformTime += t2 - t1;
    text.clear();
  }
  const double vectors = static_cast<double>(deformAnalysis.Grid().NX()) * deformAnalysis.Grid().NY() *
                         static_cast<double>(state.iterations());
  state.counters["single_us_cpu_per_vector"] = 1e6 * singleTime / vectors;
  state.counters["deform_us_cpu_per_vector"] = 1e6 * deformTime / vectors;
  state.counters["x_single_analysis"] = deformTime / singleTime;
}

// Arguments: threads, refinement passes.
void BM_UncertaintyVsNone(benchmark::State& state) {
  Setup& s = Shared();
  AnalysisSettings plain;
  plain.windowWidth = plain.windowHeight = kWindow;
  plain.spacingX = plain.spacingY = kSpacing;
  plain.subpix = SubPixelEstimator::Gauss3;
  plain.meanSubtraction = true;
  plain.threads = static_cast<int>(state.range(0));
  plain.deformPasses = static_cast<int>(state.range(1));
  AnalysisSettings asked = plain;
  asked.uncertainty = UncertaintyMethod::CorrelationStatistics;
  std::string text;
  Console quiet(&text);
  PairAnalysis plainAnalysis(plain, s.plans, *s.image, quiet);
  PairAnalysis askedAnalysis(asked, s.plans, *s.image, quiet);

  double plainTime = 0, askedTime = 0;
  for (auto _ : state) {
    const double t0 = CpuSeconds();
    const Status plainRun = plainAnalysis.Analyse(false);
    const double t1 = CpuSeconds();
    const Status askedRun = askedAnalysis.Analyse(false);
    if (!plainRun || !askedRun) state.SkipWithError(plainRun ? askedRun.message() : plainRun.message());
    const double t2 = CpuSeconds();
    plainTime += t1 - t0;
    askedTime += t2 - t1;
    text.clear();
  }
  const double vectors = static_cast<double>(plainAnalysis.Grid().NX()) * plainAnalysis.Grid().NY() *
                         static_cast<double>(state.iterations());
  state.counters["plain_us_cpu_per_vector"] = 1e6 * plainTime / vectors;
  state.counters["uncertainty_us_cpu_per_vector"] = 1e6 * askedTime / vectors;
  state.counters["x_without"] = askedTime / plainTime;
}

}  // namespace

BENCHMARK(BM_UncertaintyVsNone)
    ->ArgNames({"threads", "passes"})
    ->ArgsProduct({{1}, {3}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DeformAnalysisVsSinglePass)
    ->ArgNames({"threads", "passes"})
    ->ArgsProduct({{1, 2}, {3}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_RefinementVsSinglePass)
    ->ArgNames({"threads", "degree", "passes"})
    ->ArgsProduct({{1, 2}, {3, 5}, {1, 3}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace tarvex
