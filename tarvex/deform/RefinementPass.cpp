#include "deform/RefinementPass.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "correlation/WindowLoading.h"
#include "correlation/fftw-2d.h"
#include "grid/WindowGeometry.h"
#include "mask/MaskedWindowLoading.h"
#include "peaks/FitPeak2SubPixel.h"
#include "peaks/PeakRatio.h"
#include "peaks/ThreePointGaussian.h"

namespace tarvex {

namespace {

// Pixels are on a 12-bit scale; the windows are correlated in units of full scale, as
// in the single pass.
constexpr double kInverseFullScale = 1.0 / 4096.0;

// The uncertainty of a measured point from its windows as correlated (still in fI1, fI2:
// the forward transforms keep their input) and its integer peak (ix, iy) on the plane.
ComponentSigma PointSigma(UncertaintyMethod method, const RealCCWork& work, int nx, int ny, int ix,
                          int iy, float peakRatio) {
  if (method == UncertaintyMethod::PeakRatio) return PeakRatioSigma(peakRatio);
  return CorrelationStatisticsSigma(work.fI1.data, work.fI2.data, nx, ny, ix - PointInWindow(nx), iy - PointInWindow(ny));
}

}  // namespace

VectorGrid WindowGrid::Centres() const {
  VectorGrid g;
  g.nx = nx;
  g.ny = ny;
  g.x0 = x0 + 0.5;
  g.y0 = y0 + 0.5;
  g.dx = dx;
  g.dy = dy;
  return g;
}

bool WindowGrid::WindowFits(int k, int width, int height) const {
  const int left = WindowLeft(k), top = WindowTop(k);
  return left >= 0 && top >= 0 && left + windowX <= width - 1 && top + windowY <= height - 1;
}

bool RefinePoints(const DeformedPair& images, const WindowGrid& grid, const float* predictedU,
                  const float* predictedV, const FFTWplan* plan, const float* weight,
                  const RefinementCriteria& criteria, const GridMask& mask, CorrelationWorkspace& ws,
                  int first, int end, const PassField& out) {
  const int nx = grid.windowX, ny = grid.windowY;
  if (!ws.PrepareCorrelation(nx, ny)) return false;
  fftwnd_plan forward = plan != nullptr ? ws.forward.View(plan->Forward) : nullptr;
  fftwnd_plan inverse = plan != nullptr ? ws.inverse.View(plan->Inverse) : nullptr;
  if (plan != nullptr && (forward == nullptr || inverse == nullptr)) return false;
  PlanPair plans(forward, inverse, nx, ny, PlanPair::kReal);

  RealCCWork& work = ws.transforms;
  float* cc = ws.cc.data;
  const WindowTreatment treatment{kInverseFullScale, true, weight};
  const bool uncertainty =
      out.uncertainty != UncertaintyMethod::None && out.sigmaU != nullptr && out.sigmaV != nullptr;
  for (int k = first; k < end; ++k) {
    out.u[k] = predictedU[k];
    out.v[k] = predictedV[k];
    out.peak[k] = 0.0f;
    out.measured[k] = 0;
    if (uncertainty) out.sigmaU[k] = out.sigmaV[k] = std::numeric_limits<float>::quiet_NaN();
    if (!grid.WindowFits(k, images.width, images.height)) continue;
    if (mask.points != nullptr && mask.points[k]) continue;
    if (ws.Cancelled()) continue;
    const int left = grid.WindowLeft(k), top = grid.WindowTop(k);
    const WindowSource<float> firstWindow{images.first, images.width, left, top};
    const WindowSource<float> secondWindow{images.second, images.width, left, top};
    WindowNorms norms;
    if (mask.pixels != nullptr && mask.pixels->MaskedIn(left, top, nx, ny) > 0) {
      // Both windows lie at the same place, and so does their mask.
      const WindowSource<unsigned char> flow{mask.pixels->Bytes(), images.width, left, top};
      norms = LoadMaskedWindowPair(firstWindow, secondWindow, flow, flow, nx, ny, treatment, work.fI1.data,
                                   work.fI2.data);
    } else {
      norms = LoadWindowPair(firstWindow, secondWindow, nx, ny, treatment, work.fI1.data, work.fI2.data);
    }
    const fftw_real* plane = work.Correlate(plans.forward, plans.inverse);
    NormalisedShiftInto(plane, nx, ny, norms.rho1 * norms.rho2, cc);

    float x = 0.0f, y = 0.0f, second = 0.0f;
    const float best = HighestTwoPeaks(cc, nx, ny, &x, &y, &second);
    const int ix = static_cast<int>(x), iy = static_cast<int>(y);
    ThreePointGaussianPeak(cc, nx, ny, &x, &y, best);
    // A window without contrast has no correlation (not a number) and no strict maximum.
    if (!(std::isfinite(best) && best > kNoPeakValue && std::isfinite(x) && std::isfinite(y))) continue;
    const float ratio = PeakRatio(best, second);
    if (ratio < criteria.minPeakRatio) continue;
    if (std::fabs(x) > criteria.maxResidual * nx || std::fabs(y) > criteria.maxResidual * ny) continue;
    out.u[k] = predictedU[k] + x;
    out.v[k] = predictedV[k] + y;
    out.peak[k] = best;
    out.measured[k] = 1;
    if (!uncertainty) continue;
    const ComponentSigma sigma = PointSigma(out.uncertainty, work, nx, ny, ix, iy, ratio);
    out.sigmaU[k] = sigma.u;
    out.sigmaV[k] = sigma.v;
  }
  return true;
}

}  // namespace tarvex
