// The published colour tables behind pivplot's maps, as fractions of full intensity.
#ifndef PIVPLOT_COLOURTABLES_H
#define PIVPLOT_COLOURTABLES_H

#include <cstddef>

struct TableColour {
  double r, g, b;
};

// viridis (van der Walt and Smith, 2015): 256 colours from dark violet to yellow, equal
// steps in perceived lightness.
extern const TableColour kViridis[256];

// Cool to warm (K. Moreland, "Diverging Color Maps for Scientific Visualization", 2009):
// 33 colours from blue through neutral grey to red, sampled from his interpolation in
// Msh space so that both halves are perceptually uniform and meet in an unsaturated centre.
extern const TableColour kCoolWarm[33];

#endif
