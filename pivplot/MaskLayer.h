// The shading of the pixels without flow: a layer of the picture's size, one pixel per image
// pixel, grey where the mask is zero and blank elsewhere, painted over the image and the
// colour map and under the arrows with the opacity kMaskOpacity. Example: over a black
// image a masked pixel becomes 0.6 * 160 = 96 grey, over a white one 0.4 * 255 + 96 = 198.
#ifndef PIVPLOT_MASKLAYER_H
#define PIVPLOT_MASKLAYER_H

#include "MaskImage.h"
#include "Raster.h"

constexpr Rgb kMaskGrey{160, 160, 160};
constexpr double kMaskOpacity = 0.6;

Raster PaintMaskLayer(const MaskImage& mask);

#endif
