#include "ColourLayer.h"

#include <algorithm>
#include <cmath>

namespace {

// Where a pixel coordinate falls along one grid direction.
struct AxisPosition {
  bool inside;   // within the cells of the points
  int nearest;   // the point whose cell holds it
  int lower;     // the points to interpolate between, and the weight of the upper one
  int upper;
  double weight;
};

AxisPosition Locate(double pixel, double first, double spacing, int count) {
  const double f = (pixel - first) / spacing;
  AxisPosition p{};
  const double nearest = std::floor(f + 0.5);
  p.inside = nearest >= 0 && nearest < count;
  if (!p.inside) return p;
  p.nearest = static_cast<int>(nearest);
  const double clamped = std::clamp(f, 0.0, static_cast<double>(count - 1));
  p.lower = std::min(static_cast<int>(clamped), count - 1);
  p.upper = std::min(p.lower + 1, count - 1);
  p.weight = clamped - p.lower;
  return p;
}

// Bilinear value over the corners that have one; the nearest corner always has one.
double Interpolate(const ScalarGrid& grid, const AxisPosition& x, const AxisPosition& y) {
  const int is[2] = {x.lower, x.upper}, js[2] = {y.lower, y.upper};
  const double wx[2] = {1 - x.weight, x.weight}, wy[2] = {1 - y.weight, y.weight};
  double sum = 0, weights = 0;
  for (int b = 0; b < 2; b++)
    for (int a = 0; a < 2; a++) {
      const double w = wx[a] * wy[b];
      if (w <= 0 || !grid.Defined(is[a], js[b])) continue;
      sum += w * grid.Value(is[a], js[b]);
      weights += w;
    }
  return weights > 0 ? sum / weights : grid.Value(x.nearest, y.nearest);
}

}  // namespace

Raster PaintColourLayer(const VectorField& field, const ScalarGrid& grid, const ColourScale& scale, int width,
                        int height, bool cells) {
  Raster layer(width, height);
  const double spacing = field.Spacing();
  const double dx = field.delx > 0 ? field.delx : spacing, dy = field.dely > 0 ? field.dely : spacing;
  for (int py = 0; py < height; py++) {
    const AxisPosition y = Locate(py, field.y0, dy, field.ny);
    if (!y.inside) continue;
    for (int px = 0; px < width; px++) {
      const AxisPosition x = Locate(px, field.x0, dx, field.nx);
      if (!x.inside || !grid.Defined(x.nearest, y.nearest)) continue;
      const double value = cells ? grid.Value(x.nearest, y.nearest) : Interpolate(grid, x, y);
      layer.Set(px, py, scale.ColourOf(value));
    }
  }
  return layer;
}
