#include "MaskLayer.h"

Raster PaintMaskLayer(const MaskImage& mask) {
  Raster layer(mask.Width(), mask.Height());
  for (int y = 0; y < mask.Height(); y++)
    for (int x = 0; x < mask.Width(); x++)
      if (!mask.Flow(x, y)) layer.Set(x, y, kMaskGrey);
  return layer;
}
