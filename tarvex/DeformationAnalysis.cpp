#include "DeformationAnalysis.h"

#include "DefineFFTWPlans.h"

namespace {

// Fixed-point steps of d = F(q + d/2): each multiplies the error by about half the field's
// gradient (0.01 for 0.02 px/px), so three leave far less than a float's resolution.
constexpr int kReferenceSteps = 3;

}  // namespace

DeformationAnalysis::DeformationAnalysis(int threads) : passes_(threads) {}

bool DeformationAnalysis::ReferToFirstImage(const WindowGrid& windows, int width) {
  const VectorGrid centres = windows.Centres();
  if (!final_.Set(centres, u_.data, v_.data, PredictorInterpolation::Bilinear, width)) return false;
  for (int k = 0; k < windows.Points(); ++k) {
    const double qx = centres.x0 + (k % windows.nx) * centres.dx;
    const double qy = centres.y0 + (k / windows.nx) * centres.dy;
    float du = u_.data[k], dv = v_.data[k];
    for (int step = 0; step < kReferenceSteps; ++step)
      final_.At(qx + 0.5 * du, qy + 0.5 * dv, &du, &dv);
    firstU_.data[k] = du;
    firstV_.data[k] = dv;
  }
  return true;
}

bool DeformationAnalysis::Run(const AnalysisSettings& s, const PIVImage& images, FFTWplan* plans,
                              PIVGrid& start, PIVGrid& grid, const FlowMask* mask,
                              Console& console) {
  error_.clear();
  WindowGrid windows;
  windows.nx = grid.NX();
  windows.ny = grid.NY();
  windows.x0 = s.windowWidth / 2 - 1 + s.offsetX;
  windows.y0 = s.windowHeight / 2 - 1 + s.offsetY;
  windows.dx = s.spacingX;
  windows.dy = s.spacingY;
  windows.windowX = s.windowWidth;
  windows.windowY = s.windowHeight;
  const size_t points = static_cast<size_t>(windows.Points());
  if (!u_.Reserve(points) || !v_.Reserve(points) || !peak_.Reserve(points) ||
      !firstU_.Reserve(points) || !firstV_.Reserve(points) || !flag_.Reserve(points) ||
      !masked_.Reserve(points)) {
    error_ = "not enough memory for the deformation passes";
    return false;
  }
  for (size_t k = 0; k < points; ++k) {
    PIVPoint& p = start.Point(static_cast<int>(k));
    u_.data[k] = start.VelocityX(static_cast<int>(k));
    v_.data[k] = start.VelocityY(static_cast<int>(k));
    peak_.data[k] = 0.0f;
    flag_.data[k] = p.HasMeasurement() && p.on() ? 1 : 0;
    masked_.data[k] = grid.Point(static_cast<int>(k)).Masked() ? 1 : 0;
  }

  DeformationSettings settings;
  settings.passes = s.deformPasses;
  const char* failure = nullptr;
  if (!passes_.Run(images.I1, images.I2, images.Width(), images.Height(), windows,
                   SelectFFTWPlan(plans, s.windowWidth, s.windowHeight), settings,
                   {u_.data, v_.data, peak_.data, flag_.data}, reports_, &failure,
                   {mask, mask != nullptr ? masked_.data : nullptr})) {
    error_ = failure;
    return false;
  }
  for (int pass = 0; pass < settings.passes; ++pass)
    console.Printf("\tDeformation pass %d: %d %s replaced, RMS change %.4f px\n", pass + 1,
                   reports_[pass].rejected, reports_[pass].rejected == 1 ? "vector" : "vectors",
                   reports_[pass].rmsChange);
  if (!ReferToFirstImage(windows, images.Width())) {
    error_ = "not enough memory for the deformation passes";
    return false;
  }
  grid.TakeField(firstU_.data, firstV_.data, peak_.data, flag_.data);
  return true;
}
