// A scalar quantity on the vector grid: speed, u, v, or the derivatives vorticity
// (dv/dx - du/dy) and divergence (du/dx + dv/dy), from valid vectors only.
//
// Derivatives are second-order differences along the grid: central inside,
// (f[i+1] - f[i-1]) / 2h, and one-sided at the border, (-3 f[0] + 4 f[1] - f[2]) / 2h,
// or (f[1] - f[0]) / h with two points. All are exact for a linear field: a solid
// rotation u = -w (y - cy), v = w (x - cx) gives vorticity 2w and divergence 0 at every
// point. A point is left undefined when a vector its stencil needs is rejected (or the
// grid has a single point along a direction it differentiates); speed, u and v need the
// point's own vector only.
#ifndef PIVPLOT_DERIVEDFIELD_H
#define PIVPLOT_DERIVEDFIELD_H

#include <vector>

#include "DpivFile.h"
#include "Quantity.h"

class ScalarGrid {
 public:
  ScalarGrid(int nx, int ny) : nx_(nx), ny_(ny), values_(static_cast<size_t>(nx) * ny), defined_(values_.size()) {}

  int Nx() const { return nx_; }
  int Ny() const { return ny_; }
  bool Defined(int i, int j) const { return defined_[Index(i, j)] != 0; }
  double Value(int i, int j) const { return values_[Index(i, j)]; }
  void Set(int i, int j, double value) {
    values_[Index(i, j)] = value;
    defined_[Index(i, j)] = 1;
  }

 private:
  size_t Index(int i, int j) const { return static_cast<size_t>(j) * nx_ + i; }

  int nx_, ny_;
  std::vector<double> values_;
  std::vector<unsigned char> defined_;
};

// The quantity at every grid point (column i, row j); Quantity::None and Quantity::Variable
// leave all undefined. Derivatives are per length unit of px_per_length pixels (per pixel
// unless given).
ScalarGrid DeriveQuantity(const VectorField& field, Quantity quantity, double px_per_length = 1);

#endif
