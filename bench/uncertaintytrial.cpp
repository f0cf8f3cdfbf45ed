// uncertaintytrial: how well the per-vector uncertainties of a deformation analysis cover
// the actual errors of a pivsynth pair. Runs the accurate single pass and N refinement
// passes (as tarvex -deform N does, window and spacing as given) once per uncertainty
// method, and prints per method, over the valid vectors whose truth (at the window centre,
// in the midpoint reference that symmetric deformation measures) is known: the number of
// error components, the fraction of them within plus or minus sigma (the coverage, 68 % for
// a true standard uncertainty), RMS(sigma), RMS(error) and their ratio. With --dump, every
// scored vector's sigma_u, sigma_v (each method) and error u, v go to FILE, a line each.
//
// Usage: uncertaintytrial PAIR.b16 PAIR.b16.truth [--passes N] [--window N] [--spacing N]
//                         [--dump FILE]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SynthBridge.h"
#include "TrialFirstPass.h"
#include "correlation/DefineFFTWPlans.h"
#include "deform/DeformationPasses.h"
#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

struct Method {
  const char* name;
  UncertaintyMethod method;
};
constexpr Method kMethods[] = {{"correlation-statistics", UncertaintyMethod::CorrelationStatistics},
                               {"peak-ratio", UncertaintyMethod::PeakRatio}};
constexpr int kMethodCount = sizeof(kMethods) / sizeof(kMethods[0]);

// One analysis's result on the grid.
struct Result {
  std::vector<float> u, v, peak, sigmaU, sigmaV;
  std::vector<unsigned char> flag;
};

struct Coverage {
  long components = 0, within = 0;
  double sigmaSq = 0.0, errorSq = 0.0;

  void Add(double sigma, double error) {
    ++components;
    if (std::fabs(error) <= sigma) ++within;
    sigmaSq += sigma * sigma;
    errorSq += error * error;
  }
};

}  // namespace

}  // namespace tarvex

using namespace tarvex;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("Usage: uncertaintytrial PAIR.b16 PAIR.b16.truth [--passes N] [--window N] [--spacing N]\n"
               "       [--dump FILE]\n",
               stderr);
    return 1;
  }
  int passes = 3, window = 32, spacing = 16;
  const char* dump = nullptr;
  for (int a = 3; a + 1 < argc; a += 2) {
    const std::string o = argv[a];
    const char* val = argv[a + 1];
    if (o == "--passes") passes = std::atoi(val);
    else if (o == "--window") window = std::atoi(val);
    else if (o == "--spacing") spacing = std::atoi(val);
    else if (o == "--dump") dump = val;
    else {
      std::fprintf(stderr, "uncertaintytrial: unknown option %s\n", o.c_str());
      return 1;
    }
  }
  DisplacementField truth;
  SynthScheme scheme = SynthScheme::First;
  if (!ReadTruthField(argv[2], truth, scheme)) return 1;
  FFTWplan* plans = BenchPlanTable();
  TrialFirstPass pass;
  if (!RunTrialFirstPass("uncertaintytrial", argv[1], window, spacing, plans, pass)) return 1;
  const WindowGrid& g = pass.grid;
  const PIVImage* image = pass.image.get();
  const int n = g.Points();
  Result first;
  first.u = pass.u;
  first.v = pass.v;
  first.peak = pass.peak;
  first.flag = pass.flag;
  // As tarvex -deform limits them: half the first pass's window.
  DeformationSettings settings;
  settings.passes = passes;
  settings.maxDisplacementX = settings.maxDisplacementY = 0.5f * static_cast<float>(window);
  const FFTWplan* plan = SelectFFTWPlan(plans, window, window);
  DeformationPasses refiner(1);
  std::vector<PassReport> reports(static_cast<size_t>(passes));
  Result results[kMethodCount];
  for (int m = 0; m < kMethodCount; ++m) {
    Result& r = results[m];
    r = first;
    r.sigmaU.assign(n, 0.0f);
    r.sigmaV.assign(n, 0.0f);
    settings.uncertainty = kMethods[m].method;
    const Status refined =
        refiner.Run(ViewOf(*image), g, plan, settings,
                    {r.u.data(), r.v.data(), r.peak.data(), r.flag.data(), r.sigmaU.data(), r.sigmaV.data()},
                    reports.data());
    if (!refined) {
      std::fprintf(stderr, "uncertaintytrial: %s\n", refined.message());
      return 1;
    }
  }
  FILE* out = dump != nullptr ? std::fopen(dump, "w") : nullptr;
  if (dump != nullptr && out == nullptr) {
    std::fprintf(stderr, "uncertaintytrial: cannot write %s\n", dump);
    return 1;
  }
  Coverage coverage[kMethodCount];
  int unscored = 0;
  const Result& r = results[0];  // the vectors are the same for every method
  for (int k = 0; k < n; ++k) {
    if (!r.flag[k]) continue;
    const double x = g.x0 + (k % g.nx) * g.dx + 0.5, y = g.y0 + (k / g.nx) * g.dy + 0.5;
    Displacement d;
    if (!ReferredDisplacement(truth, scheme, ReferencePoint::Midpoint, x, y, d)) {
      ++unscored;
      continue;
    }
    const double eu = r.u[k] - d.dx, ev = r.v[k] - d.dy;
    for (int m = 0; m < kMethodCount; ++m) {
      coverage[m].Add(results[m].sigmaU[k], eu);
      coverage[m].Add(results[m].sigmaV[k], ev);
      if (out != nullptr) std::fprintf(out, "%.6g %.6g ", results[m].sigmaU[k], results[m].sigmaV[k]);
    }
    if (out != nullptr) std::fprintf(out, "%.6g %.6g %.1f %.1f\n", eu, ev, x, y);
  }
  if (out != nullptr && std::fclose(out) != 0) {
    std::fprintf(stderr, "uncertaintytrial: cannot write %s\n", dump);
    return 1;
  }
  if (unscored > 0) std::fprintf(stderr, "uncertaintytrial: %d valid vectors left out, the truth not converged\n", unscored);
  for (int m = 0; m < kMethodCount; ++m) {
    const Coverage& c = coverage[m];
    const double rmsSigma = c.components ? std::sqrt(c.sigmaSq / c.components) : 0.0;
    const double rmsError = c.components ? std::sqrt(c.errorSq / c.components) : 0.0;
    std::printf("%s components %ld coverage %.3f rms-sigma %.4f rms-error %.4f ratio %.2f\n", kMethods[m].name,
                c.components, c.components ? static_cast<double>(c.within) / c.components : 0.0, rmsSigma,
                rmsError, rmsError > 0 ? rmsSigma / rmsError : 0.0);
  }
  return 0;
}
