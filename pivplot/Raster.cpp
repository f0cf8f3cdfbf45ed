#include "Raster.h"

Raster::Raster(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, 0) {}

void Raster::Set(int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[Index(x, y)] = 0xff000000u | static_cast<uint32_t>(colour.r) << 16 | static_cast<uint32_t>(colour.g) << 8 |
                         colour.b;
}
