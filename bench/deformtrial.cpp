// deformtrial: accuracy of the deformation passes on a pivsynth pair against its truth.
// Runs the accurate single pass (three-point Gaussian estimator, mean subtraction) with
// 32 x 32 windows every 16 px, then 1, 2, ... N refinement passes, each count started
// afresh from the single pass, and prints per count the error statistics of the valid
// vectors at the window centres (as pivcompare computes them: against the displacement of
// the particle at the centre in the first image, and against that of the particle whose path
// has its midpoint there, which is what symmetric deformation measures) and the last pass's
// report. A centre where either reference cannot be found is left out and counted on
// standard error.
//
// Usage: deformtrial PAIR.b16 PAIR.b16.truth [--passes N] [--degree 3|5]
//                    [--predictor bilinear|bspline] [--threshold T] [--epsilon E]
//                    [--weight SIGMA] [--weight-last 0|1] [--filter none|binomial|fivetap]
//                    [--judge-changes 0|1] [--peak-ratio R] [--max-residual F] [--spread 3|5]
//                    [--window N] [--spacing N]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "DisplacementField.h"
#include "SynthBridge.h"
#include "TrialFirstPass.h"
#include "TruthReference.h"
#include "correlation/DefineFFTWPlans.h"
#include "deform/DeformationPasses.h"
#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

constexpr double kOutlierLimit = 0.5;

struct Score {
  int valid = 0, outliers = 0, inliers = 0;
  double sumSq = 0, inlierSq = 0, bu = 0, bv = 0, midSq = 0;
};

struct Truth {
  DisplacementField field;
  SynthScheme scheme = SynthScheme::First;
};

Score ScoreField(const WindowGrid& g, const Truth& truth, const float* u, const float* v, const unsigned char* flag) {
  Score s;
  int unscored = 0;
  for (int k = 0; k < g.Points(); ++k) {
    if (!flag[k]) continue;
    const double x = g.x0 + (k % g.nx) * g.dx + 0.5, y = g.y0 + (k / g.nx) * g.dy + 0.5;
    Displacement d, m;
    if (!ReferredDisplacement(truth.field, truth.scheme, ReferencePoint::First, x, y, d) ||
        !ReferredDisplacement(truth.field, truth.scheme, ReferencePoint::Midpoint, x, y, m)) {
      ++unscored;
      continue;
    }
    const double eu = u[k] - d.dx, ev = v[k] - d.dy;
    const double e2 = eu * eu + ev * ev;
    s.midSq += (u[k] - m.dx) * (u[k] - m.dx) + (v[k] - m.dy) * (v[k] - m.dy);
    s.sumSq += e2;
    s.bu += eu;
    s.bv += ev;
    ++s.valid;
    if (std::sqrt(e2) > kOutlierLimit) {
      ++s.outliers;
    } else {
      s.inlierSq += e2;
      ++s.inliers;
    }
  }
  if (unscored > 0) std::fprintf(stderr, "deformtrial: %d valid vectors left out, the truth not converged\n", unscored);
  return s;
}

void Print(int passes, const Score& s, int points, const PassReport* last) {
  std::printf("passes %d  valid %d of %d  rms %.4f  inlier-rms %.4f  bias (%+.4f, %+.4f)  outliers %d"
              "  midpoint-rms %.4f",
              passes, s.valid, points, s.valid ? std::sqrt(s.sumSq / s.valid) : 0.0,
              s.inliers ? std::sqrt(s.inlierSq / s.inliers) : 0.0, s.valid ? s.bu / s.valid : 0.0,
              s.valid ? s.bv / s.valid : 0.0, s.outliers, s.valid ? std::sqrt(s.midSq / s.valid) : 0.0);
  if (last != nullptr)
    std::printf("  | last pass: rejected %d replaced %d change %.4f", last->rejected, last->replaced,
                last->rmsChange);
  std::printf("\n");
}

}  // namespace

}  // namespace tarvex

using namespace tarvex;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("Usage: deformtrial PAIR.b16 PAIR.b16.truth [--passes N] [--degree 3|5]\n"
               "       [--predictor bilinear|bspline] [--threshold T] [--epsilon E] [--weight S]\n"
               "       [--weight-last 0|1] [--filter none|binomial|fivetap] [--judge-changes 0|1]\n"
               "       [--peak-ratio R] [--max-residual F] [--spread 3|5]"
               "       [--window N] [--spacing N]\n",
               stderr);
    return 1;
  }
  DeformationSettings settings;
  int maxPasses = 6, window = 32, spacing = 16;
  for (int a = 3; a + 1 < argc; a += 2) {
    const std::string o = argv[a];
    const char* val = argv[a + 1];
    if (o == "--passes") maxPasses = std::atoi(val);
    else if (o == "--degree") settings.degree = std::atoi(val) == 5 ? BSplineDegree::Quintic : BSplineDegree::Cubic;
    else if (o == "--predictor")
      settings.predictor = std::strcmp(val, "bspline") == 0 ? PredictorInterpolation::CubicBSpline
                                                            : PredictorInterpolation::Bilinear;
    else if (o == "--threshold") settings.median.threshold = std::atof(val);
    else if (o == "--epsilon") settings.median.epsilon = std::atof(val);
    else if (o == "--spread")
      settings.median.spread = std::atoi(val) == 3 ? MedianTestSpread::ThreeByThree : MedianTestSpread::FiveByFive;
    else if (o == "--weight") settings.weightSigma = std::atof(val);
    else if (o == "--weight-last") settings.weightLastPass = std::atoi(val) != 0;
    else if (o == "--filter")
      settings.filter = std::strcmp(val, "none") == 0       ? PredictorFilter::None
                        : std::strcmp(val, "binomial") == 0 ? PredictorFilter::Binomial
                                                            : PredictorFilter::FiveTap;
    else if (o == "--judge-changes") settings.judgeChanges = std::atoi(val) != 0;
    else if (o == "--peak-ratio") settings.criteria.minPeakRatio = static_cast<float>(std::atof(val));
    else if (o == "--max-residual") settings.criteria.maxResidual = static_cast<float>(std::atof(val));
    else if (o == "--window") window = std::atoi(val);
    else if (o == "--spacing") spacing = std::atoi(val);
    else {
      std::fprintf(stderr, "deformtrial: unknown option %s\n", o.c_str());
      return 1;
    }
  }
  Truth truth;
  if (!ReadTruthField(argv[2], truth.field, truth.scheme)) return 1;
  FFTWplan* plans = BenchPlanTable();
  TrialFirstPass first;
  if (!RunTrialFirstPass("deformtrial", argv[1], window, spacing, plans, first)) return 1;
  const WindowGrid& g = first.grid;
  const PIVImage* image = first.image.get();
  const int n = g.Points();
  const std::vector<float>& u0 = first.u;
  const std::vector<float>& v0 = first.v;
  const std::vector<float>& peak0 = first.peak;
  const std::vector<unsigned char>& flag0 = first.flag;
  Print(0, ScoreField(g, truth, u0.data(), v0.data(), flag0.data()), n, nullptr);

  const FFTWplan* plan = SelectFFTWPlan(plans, window, window);
  DeformationPasses refiner(1);
  std::vector<PassReport> reports(static_cast<size_t>(maxPasses));
  for (int passes = 1; passes <= maxPasses; ++passes) {
    std::vector<float> u = u0, v = v0, peak = peak0;
    std::vector<unsigned char> flag = flag0;
    settings.passes = passes;
    const Status refined = refiner.Run(ViewOf(*image), g, plan, settings,
                                       {u.data(), v.data(), peak.data(), flag.data()}, reports.data());
    if (!refined) {
      std::fprintf(stderr, "deformtrial: %s\n", refined.message());
      return 1;
    }
    Print(passes, ScoreField(g, truth, u.data(), v.data(), flag.data()), n, &reports[passes - 1]);
  }
  return 0;
}
