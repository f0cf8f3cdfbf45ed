// Drawing laid-out arrows with cairo: a 1 px antialiased shaft with round ends and a
// filled head, optionally over a thin white halo that keeps them visible on dark and
// strongly coloured backgrounds.
#ifndef PIVPLOT_ARROWPAINTER_H
#define PIVPLOT_ARROWPAINTER_H

#include <cairo.h>

#include <vector>

#include "ArrowLayout.h"

// Coordinates are the arrows' own; the caller sets the transformation.
void PaintArrows(cairo_t* cr, const std::vector<Arrow>& arrows, bool halo);

#endif
