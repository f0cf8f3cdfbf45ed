// Two-pass analysis: the validated, smoothed first-pass field gives every point a
// whole-pixel window offset for a second correlation.
#include <cmath>

#include "grid/PIVGrid.h"

namespace tarvex {

bool PIVGrid::CalculateIterativeGridTARVEX() {
  CalculateGridTARVEX();

  console->Print("\nValidating TARVEX, please wait .....\n");
  console->Flush();
  if (C3 < 1e-6) C3 = 3.0f;
  GlobalHistogramCheck();
  if (C1 < 1e-6 && C2 < 1e-6) {
    C1 = 1.0f;
    C2 = 0.0f;
  }
  DynamicMeanValueOperatorCheck();

  console->Print("\nSmooth and Interpolate missing TARVEX, please wait .....\n");
  console->Flush();
  MovingAverageVelocity();

  for (int k = 0; k < NumberOfPoints(); k++) {
    PIVPoint& p = pivgrid[k];
    // Nearest whole pixel, halves away from zero; only whole pixels move a window.
    p.setPIVOffSet(std::round(Vx[k]), std::round(Vy[k]));
    if (!p.CheckSubImageWithinImage()) p.setPIVOffSet(0.0f, 0.0f);
  }

  console->Print("\nCalculating 2nd Pass Offset TARVEX, please wait ....\n");
  console->Flush();
  CalculateGridTARVEX();
  return true;
}

}  // namespace tarvex
