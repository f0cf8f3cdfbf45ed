#include "TrialFirstPass.h"

#include <cstdio>

#include "BenchSupport.h"
#include "grid/PIVGrid.h"
#include "grid/WindowGeometry.h"

namespace tarvex {

bool RunTrialFirstPass(const char* program, const char* pairFile, int window, int spacing, FFTWplan* plans,
                       TrialFirstPass& first) {
  Quietly([&] { first.image = std::make_unique<PIVImage>(pairFile); });
  if (!first.image->FopenFlag) {
    std::fprintf(stderr, "%s: cannot read %s\n", program, pairFile);
    return false;
  }
  WindowGrid& g = first.grid;
  g.nx = (first.image->Width() - window) / spacing + 1;
  g.ny = (first.image->Height() - window) / spacing + 1;
  g.x0 = g.y0 = PointInWindow(window);
  g.dx = g.dy = spacing;
  g.windowX = g.windowY = window;
  PIVGrid grid(1, 9999, g.nx, g.ny, 0, 0, spacing, spacing, 0, 0, window, window, unknown, plans,
               first.image.get());
  grid.setSubPixelEstimator(SubPixelEstimator::Gauss3);
  grid.setMeanSubtraction(true);
  Quietly([&] { grid.CalculateGridTARVEX(); });

  const int n = g.Points();
  first.u.resize(n);
  first.v.resize(n);
  first.peak.resize(n);
  first.flag.resize(n);
  for (int k = 0; k < n; ++k) {
    first.u[k] = grid.VelocityX(k);
    first.v[k] = grid.VelocityY(k);
    first.peak[k] = grid.Point(k).Rho();
    first.flag[k] = grid.Point(k).on() != 0;
  }
  return true;
}

}  // namespace tarvex
