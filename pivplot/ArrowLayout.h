// Where the arrows go: one per vector from its window centre along its displacement
// times the scale, with a two-stroke head, coloured by validity or by magnitude.
#ifndef PIVPLOT_ARROWLAYOUT_H
#define PIVPLOT_ARROWLAYOUT_H

#include <vector>

#include "DpivFile.h"
#include "Raster.h"

constexpr Rgb kValidColour{0, 255, 0};
constexpr Rgb kRejectedColour{255, 0, 0};
// With colouring by magnitude, valid vectors run from this colour (no motion) ...
constexpr Rgb kSlowColour{0, 0, 255};
// ... to this one (the largest valid vector).
constexpr Rgb kFastColour{255, 255, 0};

struct Segment {
  double x0, y0, x1, y1;
};

struct Arrow {
  std::vector<Segment> strokes;  // the shaft, then the head's strokes if it has one
  Rgb colour;
};

// The scale that draws the largest valid vector one grid spacing long; 1 when no valid
// vector moves.
double AutoScale(const VectorField& field);

// One arrow per vector, in grid order.
std::vector<Arrow> LayOutArrows(const VectorField& field, double scale, bool by_magnitude);

#endif
