#include "RefinementPass.h"

#include <cmath>
#include <cstddef>

#include "FitPeak2SubPixel.h"
#include "ThreePointGaussian.h"
#include "fftw-2d.h"

namespace {

// Pixels are on a 12-bit scale; the windows are correlated in units of full scale, as
// in the single pass.
constexpr double kPixelScale = 4096.0;

// Copies the window at (left, top) of an image `width` floats a row into `to`, scaled,
// with its mean subtracted and the weight applied.
void CutWindow(const float* image, int width, int left, int top, int nx, int ny,
               const float* weight, fftw_real* to) {
  double sum = 0.0;
  for (int r = 0; r < ny; ++r) {
    const float* from = image + static_cast<ptrdiff_t>(top + r) * width + left;
    fftw_real* row = to + static_cast<ptrdiff_t>(r) * nx;
    for (int c = 0; c < nx; ++c) {
      row[c] = from[c] / kPixelScale;
      sum += row[c];
    }
  }
  const int count = nx * ny;
  const double mean = sum / count;
  for (int k = 0; k < count; ++k) to[k] -= mean;
  if (weight != nullptr)
    for (int k = 0; k < count; ++k) to[k] *= weight[k];
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
                  CorrelationWorkspace& ws, int first, int end, const PassField& out) {
  const int nx = grid.windowX, ny = grid.windowY;
  const int count = nx * ny;
  if (!ws.PrepareCorrelation(nx, ny) || !ws.cc.Reserve(static_cast<size_t>(count))) return false;
  fftwnd_plan forward = plan != nullptr ? ws.forward.View(plan->Forward) : nullptr;
  fftwnd_plan inverse = plan != nullptr ? ws.inverse.View(plan->Inverse) : nullptr;
  if (plan != nullptr && (forward == nullptr || inverse == nullptr)) return false;
  PlanPair plans(forward, inverse, nx, ny, PlanPair::kReal);

  RealCCWork& work = ws.transforms;
  float* cc = ws.cc.data;
  for (int k = first; k < end; ++k) {
    out.u[k] = predictedU[k];
    out.v[k] = predictedV[k];
    out.peak[k] = 0.0f;
    out.measured[k] = 0;
    if (!grid.WindowFits(k, images.width, images.height)) continue;
    const int left = grid.WindowLeft(k), top = grid.WindowTop(k);
    CutWindow(images.first, images.width, left, top, nx, ny, weight, work.fI1.data);
    CutWindow(images.second, images.width, left, top, nx, ny, weight, work.fI2.data);
    const double norm = ArrayNorm(work.fI1.data, count) * ArrayNorm(work.fI2.data, count);
    const fftw_real* plane = work.Correlate(plans.forward, plans.inverse);
    rfftshift_into(plane, nx, ny, ws.shiftRows.data, ws.shifted.data);
    for (int q = 0; q < count; ++q) cc[q] = static_cast<float>(ws.shifted.data[q] / norm);

    float x = 0.0f, y = 0.0f;
    const float best = search_CCIntPeak(cc, nx, ny, &x, &y);
    ThreePointGaussianPeak(cc, nx, ny, &x, &y, best);
    // A window without contrast has no correlation (not a number) and no strict maximum.
    if (!(std::isfinite(best) && best > kNoPeakValue && std::isfinite(x) && std::isfinite(y))) continue;
    out.u[k] = predictedU[k] + x;
    out.v[k] = predictedV[k] + y;
    out.peak[k] = best;
    out.measured[k] = 1;
  }
  return true;
}
