#include "deform/DeformationAnalysis.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "correlation/DefineFFTWPlans.h"
#include "deform/VectorReplacement.h"
#include "grid/WindowGeometry.h"
#include "peaks/PeakRatio.h"

namespace tarvex {

namespace {

// Fixed-point steps of d = F(q + d/2): each multiplies the change by about half the field's
// gradient, so a smooth field settles far below a thousandth of a pixel in a few steps;
// one that does not within this many is not referred.
constexpr int kMaxReferenceSteps = 20;
constexpr float kReferenceTolerance = 1e-4f;  // px, in both components

// Whether a first-pass point starts the passes: a measurement that passed, whose peak
// stands out as the refinement passes require.
bool StartsThePasses(PIVPoint& p, const RefinementCriteria& criteria) {
  if (!p.HasMeasurement() || !p.on()) return false;
  const TARVEXData* piv = p.PIV();
  return PeakRatio(piv->rho[0], piv->rho[1]) >= criteria.minPeakRatio;
}

}  // namespace

DeformationAnalysis::DeformationAnalysis(int threads) : passes_(threads) {}

bool DeformationAnalysis::ReferToFirstImage(const WindowGrid& windows, int width,
                                            PredictorInterpolation how) {
  const VectorGrid centres = windows.Centres();
  if (!final_.Set(centres, u_.data, v_.data, how, width)) return false;
  const int points = windows.Points();
  for (int k = 0; k < points; ++k) {
    firstU_.data[k] = u_.data[k];
    firstV_.data[k] = v_.data[k];
    referred_.data[k] = 0;
    if (!flag_.data[k]) continue;
    const double qx = centres.x0 + (k % windows.nx) * centres.dx;
    const double qy = centres.y0 + (k / windows.nx) * centres.dy;
    float du = u_.data[k], dv = v_.data[k];
    bool settled = false;
    for (int step = 0; step < kMaxReferenceSteps && !settled; ++step) {
      float nu = 0.0f, nv = 0.0f;
      final_.At(qx + 0.5 * du, qy + 0.5 * dv, &nu, &nv);
      settled = std::fabs(nu - du) <= kReferenceTolerance && std::fabs(nv - dv) <= kReferenceTolerance;
      du = nu;
      dv = nv;
    }
    // The grid point nearest to the midpoint must hold a valid vector of its own.
    const long j = std::lround((qx + 0.5 * du - centres.x0) / centres.dx);
    const long i = std::lround((qy + 0.5 * dv - centres.y0) / centres.dy);
    const bool inside = std::isfinite(du) && std::isfinite(dv) && j >= 0 && j < windows.nx &&
                        i >= 0 && i < windows.ny && flag_.data[i * windows.nx + j];
    if (!settled || !inside) continue;
    firstU_.data[k] = du;
    firstV_.data[k] = dv;
    referred_.data[k] = 1;
  }
  // The points that could not be referred are filled from those that were.
  ReplaceInvalidVectors(firstU_.data, firstV_.data, referred_.data, windows.nx, windows.ny,
                        state_.data, masked_.data);
  std::memcpy(u_.data, firstU_.data, static_cast<size_t>(points) * sizeof(float));
  std::memcpy(v_.data, firstV_.data, static_cast<size_t>(points) * sizeof(float));
  std::memcpy(flag_.data, referred_.data, static_cast<size_t>(points));
  // A referred vector keeps the uncertainty of its measurement; the others hold none.
  if (estimated_)
    for (int k = 0; k < points; ++k)
      if (!referred_.data[k]) sigmaU_.data[k] = sigmaV_.data[k] = std::numeric_limits<float>::quiet_NaN();
  return true;
}

Status DeformationAnalysis::Run(const AnalysisSettings& s, const PIVImage& images, FFTWplan* plans,
                                PIVGrid& start, PIVGrid& grid, const FlowMask* mask,
                                Console& console) {
  estimated_ = false;
  WindowGrid windows;
  windows.nx = grid.NX();
  windows.ny = grid.NY();
  windows.x0 = PointInWindow(s.windowWidth) + s.offsetX;
  windows.y0 = PointInWindow(s.windowHeight) + s.offsetY;
  windows.dx = s.spacingX;
  windows.dy = s.spacingY;
  windows.windowX = s.windowWidth;
  windows.windowY = s.windowHeight;
  const size_t points = static_cast<size_t>(windows.Points());
  if (!u_.Reserve(points) || !v_.Reserve(points) || !peak_.Reserve(points) ||
      !firstU_.Reserve(points) || !firstV_.Reserve(points) || !flag_.Reserve(points) ||
      !masked_.Reserve(points) || !referred_.Reserve(points) || !state_.Reserve(points) ||
      (s.uncertainty != UncertaintyMethod::None && (!sigmaU_.Reserve(points) || !sigmaV_.Reserve(points)))) {
    return Status::Failure("not enough memory for the deformation passes");
  }
  DeformationSettings settings;
  settings.passes = s.deformPasses;
  settings.uncertainty = s.uncertainty;
  // A displacement beyond half the first pass's windows is beyond what it could measure.
  settings.maxDisplacementX = 0.5f * static_cast<float>(s.firstWindow > 0 ? s.firstWindow : s.windowWidth);
  settings.maxDisplacementY = 0.5f * static_cast<float>(s.firstWindow > 0 ? s.firstWindow : s.windowHeight);
  for (size_t k = 0; k < points; ++k) {
    PIVPoint& p = start.Point(static_cast<int>(k));
    u_.data[k] = start.VelocityX(static_cast<int>(k));
    v_.data[k] = start.VelocityY(static_cast<int>(k));
    peak_.data[k] = 0.0f;
    flag_.data[k] = StartsThePasses(p, settings.criteria) ? 1 : 0;
    masked_.data[k] = grid.Point(static_cast<int>(k)).Masked() ? 1 : 0;
  }

  Status passes = passes_.Run(ViewOf(images), windows, SelectFFTWPlan(plans, s.windowWidth, s.windowHeight), settings,
                              {u_.data, v_.data, peak_.data, flag_.data, sigmaU_.data, sigmaV_.data}, reports_,
                              {mask, mask != nullptr ? masked_.data : nullptr});
  if (!passes) return passes;
  estimated_ = s.uncertainty != UncertaintyMethod::None;
  for (int pass = 0; pass < settings.passes; ++pass)
    console.Printf("\tDeformation pass %d: %d %s replaced, RMS change %.4f px\n", pass + 1,
                   reports_[pass].rejected, reports_[pass].rejected == 1 ? "vector" : "vectors",
                   reports_[pass].rmsChange);
  if (s.deformReference == DeformReference::FirstImage &&
      !ReferToFirstImage(windows, images.Width(), settings.predictor)) {
    return Status::Failure("not enough memory for the deformation passes");
  }
  grid.TakeField(u_.data, v_.data, peak_.data, flag_.data);
  return Status();
}

}  // namespace tarvex
