// The grid of a vector field: nx x ny points in DPIV positions (pixels; x the column, y the
// row), the first at (x0, y0), dx and dy apart (0 along a direction with a single point).
// The window centre of a point is its position plus half a pixel.
//
// Worked example: 32 x 32 windows every 16 px on a 256 x 256 image give the grid of 15 x 15
// points from (15, 15), 16 px apart: point (i, j) = (2, 1) lies at (47, 31), its window
// centre at (47.5, 31.5), and its record is number j * nx + i = 17 of the field.
#ifndef FORMATS_FIELDGRID_H
#define FORMATS_FIELDGRID_H

#include <cstddef>
#include <vector>

#include "DpivFile.h"

struct FieldGrid {
  int nx = 0, ny = 0;
  double x0 = 0, y0 = 0;
  double dx = 0, dy = 0;

  size_t Points() const { return static_cast<size_t>(nx) * static_cast<size_t>(ny); }
  double X(int i) const { return x0 + i * dx; }
  double Y(int j) const { return y0 + j * dy; }
  // Whether other is the same grid: the same counts, and positions and spacings within
  // a thousandth of a pixel (the DPIV reader's tolerance).
  bool Matches(const FieldGrid& other) const;
  // Whether the records (in grid order) lie on this grid, each within that tolerance.
  bool Holds(const std::vector<VectorRecord>& records) const;
};

// The grid a DPIV file's field was read on.
FieldGrid GridOf(const VectorField& field);

// The grid of nx x ny records in grid order (as the analysis hands them to its writers).
FieldGrid GridOfRecords(const std::vector<VectorRecord>& records, int nx, int ny);

#endif
