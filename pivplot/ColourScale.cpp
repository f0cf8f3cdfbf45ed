#include "ColourScale.h"

#include <algorithm>
#include <cmath>

bool AnyNegative(const std::vector<const ScalarGrid*>& grids) {
  for (const ScalarGrid* grid : grids)
    for (int j = 0; j < grid->Ny(); j++)
      for (int i = 0; i < grid->Nx(); i++)
        if (grid->Defined(i, j) && grid->Value(i, j) < 0) return true;
  return false;
}

ColourScale ScaleSpanning(const ColourQuantity& quantity, const std::vector<const ScalarGrid*>& grids) {
  double largest = 0;
  for (const ScalarGrid* grid : grids)
    for (int j = 0; j < grid->Ny(); j++)
      for (int i = 0; i < grid->Nx(); i++)
        if (grid->Defined(i, j)) largest = std::max(largest, std::fabs(grid->Value(i, j)));
  if (!(largest > 0) || !std::isfinite(largest)) largest = 1;
  ColourScale scale;
  scale.name = quantity.name;
  scale.unit = quantity.unit;
  scale.map = quantity.is_signed ? ColourMap::CoolWarm : ColourMap::Viridis;
  scale.lo = quantity.is_signed ? -largest : 0;
  scale.hi = largest;
  return scale;
}
