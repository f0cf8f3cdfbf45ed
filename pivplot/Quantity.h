// The quantities pivplot can colour the picture by, with their names and units.
#ifndef PIVPLOT_QUANTITY_H
#define PIVPLOT_QUANTITY_H

#include <string>

#include "PlotUnits.h"

// Variable: a variable of a NetCDF file, named on the command line.
enum class Quantity { None, Speed, Vorticity, Divergence, U, V, Variable };

// What a colour map shows: the colour bar's label and whether the map is centred at 0.
struct ColourQuantity {
  std::string name = "none", unit;
  bool is_signed = false;
};

// The quantity as a colour map of a field in the given units shows it: displacements in
// px/frame and their derivatives in 1/frame for a DPIV file.
ColourQuantity DescribeQuantity(Quantity quantity, const PlotUnits& units);

// The quantity named by a word of --color; false for another word (which may name a variable).
bool ParseQuantity(const std::string& word, Quantity& quantity);

#endif
