#include "ColourScale.h"

#include <algorithm>
#include <cmath>

ColourScale ScaleSpanning(Quantity quantity, const std::vector<const ScalarGrid*>& grids) {
  double largest = 0;
  for (const ScalarGrid* grid : grids)
    for (int j = 0; j < grid->Ny(); j++)
      for (int i = 0; i < grid->Nx(); i++)
        if (grid->Defined(i, j)) largest = std::max(largest, std::fabs(grid->Value(i, j)));
  if (!(largest > 0) || !std::isfinite(largest)) largest = 1;
  ColourScale scale;
  scale.quantity = quantity;
  scale.map = IsSigned(quantity) ? ColourMap::CoolWarm : ColourMap::Viridis;
  scale.lo = IsSigned(quantity) ? -largest : 0;
  scale.hi = largest;
  return scale;
}
