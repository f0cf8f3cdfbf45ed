// Grids whose point records the validation, smoothing and two-pass tests set by hand.
#ifndef HANDMADEGRID_H
#define HANDMADEGRID_H

#include <memory>
#include <string>

#include "grid/PIVGrid.h"
#include "images/PIVImage.h"

namespace tarvex {

// Marks a point as holding a measurement, as a successful correlation would.
class PIVPointTestAccess {
 public:
  static void SetMeasured(PIVPoint& p, bool measured) { p.measured = measured; }
};

// Reads and writes the grid's check constants.
class PIVGridTestAccess {
 public:
  static float C1(const PIVGrid& g) { return g.C1; }
  static float C2(const PIVGrid& g) { return g.C2; }
  static float C3(const PIVGrid& g) { return g.C3; }
};

// A grid of nx x ny points of 32 x 32 windows at spacing 16 (point (i, j) at
// x = 16 j + 15, y = 16 i + 15), over the given image store (may be null).
inline std::unique_ptr<PIVGrid> MakeGrid(int nx, int ny, PIVImage* image = nullptr) {
  return std::make_unique<PIVGrid>(1, 9999, nx, ny, 0, 0, 16, 16, 0, 0, 32, 32, unknown,
                                   nullptr, image);
}

// Sets point k to a measured vector (u, v) with peak rho, no window offset, and flag on.
inline void SetVector(PIVGrid& g, int k, float u, float v, bool on, float rho = 1.0f) {
  TARVEXData* r = g.Point(k).PIV();
  r->dx[0] = u;
  r->dy[0] = v;
  r->rho[0] = rho;
  r->DX = 0.0f;
  r->DY = 0.0f;
  r->on = on ? 1 : 0;
  PIVPointTestAccess::SetMeasured(g.Point(k), true);
}

// Every point's flag, in grid order, as a string of '0' and '1'.
inline std::string Flags(PIVGrid& g) {
  std::string s;
  for (int k = 0; k < g.NX() * g.NY(); k++) s += g.Point(k).on() ? '1' : '0';
  return s;
}

}  // namespace tarvex

#endif
