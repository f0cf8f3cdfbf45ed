#include "DerivedField.h"

#include <cmath>

namespace {

// The vectors along one grid line: count points, step apart in the vector list.
struct GridLine {
  const std::vector<VectorRecord>& vectors;
  size_t first, stride;
  int count;
  double spacing;
  const VectorRecord& At(int k) const { return vectors[first + static_cast<size_t>(k) * stride]; }
};

// The points and weights of a first derivative at point k of n (weights per spacing).
struct Stencil {
  int points[3];
  double weights[3];
  int used;
};

Stencil StencilAt(int n, int k) {
  if (n == 2) return {{0, 1, 0}, {-1, 1, 0}, 2};
  if (k == 0) return {{0, 1, 2}, {-1.5, 2, -0.5}, 3};
  if (k == n - 1) return {{n - 1, n - 2, n - 3}, {1.5, -2, 0.5}, 3};
  return {{k - 1, k + 1, 0}, {-0.5, 0.5, 0}, 2};
}

// Derivative along the line at point k of the component picked by get; false when the
// stencil lacks a valid vector.
template <typename Get>
bool Derivative(const GridLine& line, int k, Get get, double& result) {
  if (line.count < 2 || line.spacing <= 0) return false;
  const Stencil stencil = StencilAt(line.count, k);
  double sum = 0;
  for (int s = 0; s < stencil.used; s++) {
    const VectorRecord& v = line.At(stencil.points[s]);
    if (!v.valid) return false;
    sum += stencil.weights[s] * get(v);
  }
  result = sum / line.spacing;
  return true;
}

double GetU(const VectorRecord& v) { return v.u; }
double GetV(const VectorRecord& v) { return v.v; }

}  // namespace

ScalarGrid DeriveQuantity(const VectorField& field, Quantity quantity, double px_per_length) {
  ScalarGrid grid(field.nx, field.ny);
  const size_t nx = static_cast<size_t>(field.nx);
  for (int j = 0; j < field.ny; j++)
    for (int i = 0; i < field.nx; i++) {
      const VectorRecord& v = field.vectors[j * nx + i];
      const GridLine row{field.vectors, j * nx, 1, field.nx, field.delx};
      const GridLine column{field.vectors, static_cast<size_t>(i), nx, field.ny, field.dely};
      double a = 0, b = 0;
      switch (quantity) {
        case Quantity::None:
        case Quantity::Variable:
          break;
        case Quantity::Speed:
          if (v.valid) grid.Set(i, j, std::hypot(v.u, v.v));
          break;
        case Quantity::U:
          if (v.valid) grid.Set(i, j, v.u);
          break;
        case Quantity::V:
          if (v.valid) grid.Set(i, j, v.v);
          break;
        case Quantity::Vorticity:
          if (Derivative(row, i, GetV, a) && Derivative(column, j, GetU, b)) grid.Set(i, j, (a - b) * px_per_length);
          break;
        case Quantity::Divergence:
          if (Derivative(row, i, GetU, a) && Derivative(column, j, GetV, b)) grid.Set(i, j, (a + b) * px_per_length);
          break;
      }
    }
  return grid;
}
