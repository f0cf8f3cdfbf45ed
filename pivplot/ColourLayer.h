// The colour map of a quantity as a layer of the picture's size, one pixel per image
// pixel. Each grid point owns the cell of one spacing around it; pixels outside all cells,
// and in the cell of a point whose quantity is undefined, stay blank. Drawn as cells, a
// cell is one colour; drawn smooth, the value is interpolated bilinearly between the four
// nearest points (those with a value, their weights renormalised) and then coloured.
// Example: points at x = 15 and 31 (16 apart) with values 0 and 1: smooth, pixel 23 gets
// the value 0.5; as cells, pixels 7 to 22 get 0 and 23 to 38 get 1.
#ifndef PIVPLOT_COLOURLAYER_H
#define PIVPLOT_COLOURLAYER_H

#include "ColourScale.h"
#include "DerivedField.h"
#include "DpivFile.h"
#include "Raster.h"

Raster PaintColourLayer(const VectorField& field, const ScalarGrid& grid, const ColourScale& scale, int width,
                        int height, bool cells);

#endif
