// Which value gets which colour. Magnitudes (speed) run from 0 to their largest value on
// viridis; signed quantities from -m to m, m their largest absolute value, on the cool
// to warm map, so that 0 is always its neutral centre. Example: vorticities of -0.02 and
// 0.05 give the range -0.05 to 0.05, and -0.02 sits at t = 0.3.
#ifndef PIVPLOT_COLOURSCALE_H
#define PIVPLOT_COLOURSCALE_H

#include <string>
#include <vector>

#include "ColourMap.h"
#include "DerivedField.h"
#include "Quantity.h"

struct ColourScale {
  std::string name = "none", unit;  // the colour bar's label
  ColourMap map = ColourMap::Viridis;
  double lo = 0, hi = 1;

  // Position of value on the map, 0 at lo and 1 at hi (not clamped).
  double Position(double value) const { return (value - lo) / (hi - lo); }
  Rgb ColourOf(double value) const { return MapColour(map, Position(value)); }
};

// The scale that spans the defined values of all the grids (one picture's, or a whole
// series' for a common range). Without any defined non-zero value the range is 0 to 1
// (-1 to 1 for a signed quantity).
ColourScale ScaleSpanning(const ColourQuantity& quantity, const std::vector<const ScalarGrid*>& grids);

// Whether any defined value of the grids is below 0: a variable of a file that is gets the
// signed map.
bool AnyNegative(const std::vector<const ScalarGrid*>& grids);

#endif
