// Colour maps from a position t in [0, 1] to a colour, linear between table entries.
// viridis for magnitudes: t = 0 is (68, 1, 84), t = 1 is (253, 231, 37). Cool to warm for
// signed quantities: t = 0 is (59, 76, 192), t = 0.5 (the value 0) is the grey
// (221, 221, 221), t = 1 is (180, 4, 38).
#ifndef PIVPLOT_COLOURMAP_H
#define PIVPLOT_COLOURMAP_H

#include "Raster.h"

enum class ColourMap { Viridis, CoolWarm };

// t outside [0, 1] is clamped; NaN gives the colour at 0.
Rgb MapColour(ColourMap map, double t);

#endif
