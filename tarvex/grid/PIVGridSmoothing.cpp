// Moving-average smoothing: every point gets the mean of the valid vectors in the
// (2w+1) x (2w+1) block around it, which also fills the rejected points. A masked point
// holds no vector and gets none (it stays at 0, so its window offset stays 0 too).
#include "grid/PIVGrid.h"

namespace tarvex {

int PIVGrid::MovingAverageVelocity() {
  const int w = static_cast<int>(avg_width);  // truncated toward zero
  const int n = NumberOfPoints();
  for (int k = 0; k < n; k++) {
    Vx[k] = 0.0f;
    Vy[k] = 0.0f;
  }
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      const int k = i * nx + j;
      if (pivgrid[k].Masked()) continue;
      int N = 0;
      for (int l = i - w; l <= i + w; l++) {
        for (int m = j - w; m <= j + w; m++) {
          if (!ValidVectorAt(l, m)) continue;
          const PIVPoint& p = pivgrid[l * nx + m];
          Vx[k] += p.Vx();
          Vy[k] += p.Vy();
          N++;
        }
      }
      if (N > 0) {
        Vx[k] /= N;
        Vy[k] /= N;
      }
    }
  }
  return 1;
}

}  // namespace tarvex
