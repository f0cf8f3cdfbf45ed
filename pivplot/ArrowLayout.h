// Where the arrows go: one per drawn vector, from its window centre along its
// displacement times the scale, with a filled head, coloured by validity or by magnitude.
// Example: the vector (8, 0) at (15, 15) with scale 1 runs to the tip (23, 15); its head
// is 0.3 x 8 = 2.4, at least 3 px long, so the shaft ends at (20, 15) and the head's
// base corners are (20, 15 -+ 3 tan 25 deg) = (20, 13.6) and (20, 16.4).
#ifndef PIVPLOT_ARROWLAYOUT_H
#define PIVPLOT_ARROWLAYOUT_H

#include <vector>

#include "DpivFile.h"
#include "Raster.h"

// On a black background: valid vectors green, rejected ones red.
constexpr Rgb kValidColour{0, 255, 0};
constexpr Rgb kRejectedColour{255, 0, 0};
// Over a colour map: valid vectors black, rejected ones magenta.
constexpr Rgb kValidOnMapColour{0, 0, 0};
constexpr Rgb kRejectedOnMapColour{255, 0, 255};
// With colouring by magnitude, valid vectors run from this colour (no motion) ...
constexpr Rgb kSlowColour{0, 0, 255};
// ... to this one (the largest valid vector).
constexpr Rgb kFastColour{255, 255, 0};

struct Point {
  double x, y;
};

struct Arrow {
  Point tail;          // the window centre
  Point shaft_end;     // where the shaft meets the head (the tip when there is no head)
  bool has_head;
  Point head[3];       // tip, then the two corners of the base
  Rgb colour;
};

struct ArrowStyle {
  double scale = 1;         // arrow pixels per pixel of displacement
  int every = 1;            // draw the vectors of every N-th column and row only
  bool show_rejected = true;
  bool by_magnitude = false;
  bool on_map = false;      // drawn over a colour map
};

// The largest valid displacement of the field; 0 when none moves.
double LargestValidMagnitude(const VectorField& field);

// The scale that draws a vector of the given magnitude as long as the spacing between
// drawn arrows (every times the grid spacing); 1 when the magnitude is 0.
double AutoScale(const VectorField& field, double largest, int every);

// One arrow for an arrow from tail along (u, v) times scale.
Arrow LayOutArrow(Point tail, double u, double v, double scale, Rgb colour);

// The arrows of the drawn vectors, in grid order.
std::vector<Arrow> LayOutArrows(const VectorField& field, const ArrowStyle& style);

#endif
