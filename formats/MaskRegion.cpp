#include "MaskRegion.h"

#include <algorithm>
#include <cmath>

bool MaskRegion::Covers(int x, int y) const {
  if (shape == MaskShape::Rectangle) return x >= x0 && x <= x1 && y >= y0 && y <= y1;
  const double dx = x - cx, dy = y - cy;
  return dx * dx + dy * dy <= r * r;
}

namespace {

// The whole pixels from lo to hi, clipped to 0 .. count - 1; clamped before the casts so that
// any finite bound stays in range.
void Clip(double lo, double hi, int count, int& first, int& last) {
  first = static_cast<int>(std::ceil(std::clamp(lo, -1.0, static_cast<double>(count))));
  last = static_cast<int>(std::floor(std::clamp(hi, -1.0, static_cast<double>(count))));
  first = std::max(first, 0);
  last = std::min(last, count - 1);
}

}  // namespace

MaskRegion RectangleRegion(double x0, double y0, double x1, double y1) {
  MaskRegion r;
  r.x0 = x0;
  r.y0 = y0;
  r.x1 = x1;
  r.y1 = y1;
  return r;
}

PixelSpan RegionSpan(const MaskRegion& region, int width, int height) {
  const bool rectangle = region.shape == MaskShape::Rectangle;
  PixelSpan span{};
  Clip(rectangle ? region.x0 : region.cx - region.r, rectangle ? region.x1 : region.cx + region.r, width, span.x0,
       span.x1);
  Clip(rectangle ? region.y0 : region.cy - region.r, rectangle ? region.y1 : region.cy + region.r, height, span.y0,
       span.y1);
  return span;
}

bool CoversAnyPixel(const MaskRegion& region, int width, int height) {
  const PixelSpan span = RegionSpan(region, width, height);
  for (int y = span.y0; y <= span.y1; ++y)
    for (int x = span.x0; x <= span.x1; ++x)
      if (region.Covers(x, y)) return true;
  return false;
}

MaskImage RasterizeMask(const std::vector<MaskRegion>& regions, int width, int height) {
  MaskImage mask(width, height);
  for (const MaskRegion& region : regions) {
    const PixelSpan span = RegionSpan(region, width, height);
    for (int y = span.y0; y <= span.y1; ++y)
      for (int x = span.x0; x <= span.x1; ++x)
        if (region.Covers(x, y)) mask.Set(x, y, false);
  }
  return mask;
}
