// One refinement pass of a deformation analysis on plain arrays: every grid point's
// windows are cut at the same place from the two deformed images (no window offset),
// cross-correlated, and the residual displacement found by the three-point Gaussian
// estimator is added to the predictor at the window centre.
//
// Worked example: 32 x 32 windows every 16 px from the image corner put point (j, i) at
// x = 15 + 16 j, y = 15 + 16 i; its window covers columns 16 j .. 16 j + 31 and its
// centre lies at (15.5 + 16 j, 15.5 + 16 i), where the predictor equals the vector the
// predictor was made from. A predictor of 2.0 px and a measured residual of -0.07 px
// give 1.93 px.
#ifndef REFINEMENTPASS_H
#define REFINEMENTPASS_H

#include "correlation/CorrelationWorkspace.h"
#include "deform/DisplacementPredictor.h"
#include "grid/WindowGeometry.h"
#include "grid/piv.h"
#include "mask/FlowMask.h"
#include "uncertainty/VectorUncertainty.h"

namespace tarvex {

// The windows of a grid, placed as PIVPoint places them: point (j, i) at
// (x0 + j dx, y0 + i dy), its window covering columns trunc(x) - windowX/2 + 1 ..
// trunc(x) + windowX/2 (likewise rows).
struct WindowGrid {
  int nx = 0, ny = 0;            // points a row, rows
  int x0 = 0, y0 = 0;            // position of point (0, 0)
  int dx = 1, dy = 1;            // spacing
  int windowX = 0, windowY = 0;  // window (table) size

  int Points() const { return nx > 0 && ny > 0 ? nx * ny : 0; }
  // The window centres, where the vectors belong (half a pixel beyond the positions).
  VectorGrid Centres() const;
  // First column and row of point k's window.
  int WindowLeft(int k) const { return WindowStart(x0 + (k % nx) * dx, windowX); }
  int WindowTop(int k) const { return WindowStart(y0 + (k / nx) * dy, windowY); }
  // Whether point k's window lies in a width x height image; as in the single pass, a
  // window never includes the image's last column or row.
  bool WindowFits(int k, int width, int height) const;
};

// The mask of a deformation analysis (both null: none): the image's flow pixels, and the
// grid's points, 1 where a point is masked.
struct GridMask {
  const FlowMask* pixels = nullptr;
  const unsigned char* points = nullptr;
};

// The deformed images, height rows of width floats each, in pixel counts.
struct DeformedPair {
  const float* first = nullptr;
  const float* second = nullptr;
  int width = 0;
  int height = 0;
};

// What makes a refined vector a measurement: its correlation peak must stand out (peak
// ratio, see PeakRatio.h) and the residual must stay within a fraction of the window (a
// predictor that close leaves far less; a larger one is a random peak, not a correction).
struct RefinementCriteria {
  float minPeakRatio = 1.2f;
  float maxResidual = 0.25f;  // in window widths (x) and heights (y)
};

// The field a pass writes, one value per grid point.
struct PassField {
  float* u = nullptr;
  float* v = nullptr;
  float* peak = nullptr;             // the correlation coefficient at the peak
  unsigned char* measured = nullptr;  // 1 where a usable peak was found
  // On request (both non-null and a method other than None): the standard uncertainty of
  // each component in px, NaN where no usable peak was found.
  float* sigmaU = nullptr;
  float* sigmaV = nullptr;
  UncertaintyMethod uncertainty = UncertaintyMethod::None;
};

// Measures points [first, end) of the grid: out.u[k] = predictedU[k] + the residual (the
// predictor at the window centre, which is the grid value it was interpolated from),
// likewise v, the peak value, measured[k] and, when asked, its uncertainty. A point whose window does not fit, whose
// windows have no correlation peak (a uniform window), or whose peak fails `criteria`
// gets measured 0 and keeps the predictor. `plan` is the table entry for the window size (null: temporary plans,
// which allocate); `weight`, when given, multiplies both mean-subtracted windows
// (windowX * windowY values). A masked point is not measured either; the masked pixels of
// a window take its flow mean (MaskedWindowLoading). The workspace is the calling thread's;
// false only when its buffers cannot be obtained.
bool RefinePoints(const DeformedPair& images, const WindowGrid& grid, const float* predictedU,
                  const float* predictedV, const FFTWplan* plan, const float* weight,
                  const RefinementCriteria& criteria, const GridMask& mask, CorrelationWorkspace& ws,
                  int first, int end, const PassField& out);

}  // namespace tarvex

#endif
