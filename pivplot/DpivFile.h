// Reading a DPIV velocity file: the 12 comment lines, then one record per grid point
// (flag, x, y, U, V, peak value), and the regular grid the records lie on.
#ifndef PIVPLOT_DPIVFILE_H
#define PIVPLOT_DPIVFILE_H

#include <string>
#include <vector>

struct PlotVector {
  bool valid;
  double x, y;  // window centre, image pixels (y grows with the row index)
  double u, v;  // displacement, pixels
};

// The vectors in grid order (column fastest) and the grid they lie on.
struct VectorField {
  std::vector<PlotVector> vectors;
  int nx = 0, ny = 0;         // columns and rows of the grid
  double x0 = 0, y0 = 0;      // position of the first point
  double delx = 0, dely = 0;  // spacing; 0 along a direction with a single point

  // The spacing an arrow of the largest valid vector is drawn to: the smaller known
  // spacing, or the window size for a grid of a single point.
  double Spacing() const;
};

// Reads path into field; on failure returns false with a one-line reason in error.
bool ReadDpivFile(const std::string& path, VectorField& field, std::string& error);

#endif
