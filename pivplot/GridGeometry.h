// The image size a grid implies. tarvex lays its first window on the image corner, so a
// first point at x0 means windows 2(x0 + 1) pixels wide, and it fits as many columns as
// the width holds: n columns spaced d apart come from widths w with
// 2(x0 + 1) + (n - 1)d <= w < 2(x0 + 1) + n d.
#ifndef PIVPLOT_GRIDGEOMETRY_H
#define PIVPLOT_GRIDGEOMETRY_H

#include <string>

#include "DpivFile.h"

// Whether an image of w x h pixels is one the grid can have been measured on; if not,
// error says why, naming the picture's source as what ("the image", "the mask m.png").
bool ImageFitsGrid(const VectorField& field, int w, int h, std::string& error, const std::string& what = "the image");

// The smallest image the grid can come from: the picture size when there is no image.
void SmallestImage(const VectorField& field, int& w, int& h);

#endif
