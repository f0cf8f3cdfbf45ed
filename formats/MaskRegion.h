// The regions pivsynth leaves free of particles and records as its mask: rectangles and
// circles in the analysis' pixel coordinates (x the column, y the row; pixel (i, j) has its
// centre at (i, j)). A region covers the pixels whose centres lie inside it, its bounds
// included.
//
// Worked example: the rectangle 2,1,4,2 covers columns 2 to 4 of rows 1 and 2, 6 pixels; so
// does 1.5,0.5,4.2,2.9. The circle 5,5,1 covers (5, 5) and its 4 neighbours, 5 pixels; with
// radius 1.5 also the 4 diagonal ones (1.414 away), 9 pixels; with radius 2 also (3, 5),
// (7, 5), (5, 3) and (5, 7), 13 pixels. On a 6 x 6 image the circle 5,5,2 covers 6 pixels:
// (5, 5), (4, 5), (5, 4), (4, 4), (3, 5) and (5, 3); the rectangle 6,0,9,3 covers none.
#ifndef FORMATS_MASKREGION_H
#define FORMATS_MASKREGION_H

#include <vector>

#include "MaskImage.h"

enum class MaskShape { Rectangle, Circle };

struct MaskRegion {
  MaskShape shape = MaskShape::Rectangle;
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;  // rectangle: corners, x0 <= x1, y0 <= y1
  double cx = 0.0, cy = 0.0, r = 0.0;             // circle: centre and radius

  // Whether the centre of pixel (x, y) lies inside the region or on its bounds.
  bool Covers(int x, int y) const;
};

// The rectangle x0 <= x <= x1, y0 <= y <= y1.
MaskRegion RectangleRegion(double x0, double y0, double x1, double y1);

// The pixels of a width x height image the region can cover: columns x0 to x1, rows y0 to
// y1 (empty when x0 > x1 or y0 > y1).
struct PixelSpan {
  int x0, y0, x1, y1;
};
PixelSpan RegionSpan(const MaskRegion& region, int width, int height);

// Whether the region covers at least one pixel of a width x height image.
bool CoversAnyPixel(const MaskRegion& region, int width, int height);

// The mask of a width x height image: no flow on every pixel a region covers.
MaskImage RasterizeMask(const std::vector<MaskRegion>& regions, int width, int height);

#endif
