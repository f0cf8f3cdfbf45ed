#include "Raster.h"

#include <cmath>
#include <cstdlib>

namespace {

// Cuts the segment p + t d, t in [0, 1], to the box [lo, hi] in both coordinates
// (Liang-Barsky); false when nothing of it is inside.
bool ClipToBox(double& x0, double& y0, double& x1, double& y1, double lo_x, double lo_y, double hi_x,
               double hi_y) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - lo_x, hi_x - x0, y0 - lo_y, hi_y - y0};
  double t0 = 0, t1 = 1;
  for (int i = 0; i < 4; i++) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  const double sx = x0, sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

}  // namespace

Raster::Raster(int width, int height, Rgb fill)
    : width_(width), height_(height), bytes_(static_cast<size_t>(width) * height * 3) {
  for (size_t i = 0; i < bytes_.size(); i += 3) {
    bytes_[i] = fill.r;
    bytes_[i + 1] = fill.g;
    bytes_[i + 2] = fill.b;
  }
}

void Raster::Set(int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  unsigned char* p = &bytes_[(static_cast<size_t>(y) * width_ + x) * 3];
  p[0] = colour.r;
  p[1] = colour.g;
  p[2] = colour.b;
}

void Raster::DrawLine(double x0, double y0, double x1, double y1, Rgb colour) {
  // A margin of one pixel keeps the rounding of the cut ends from moving them inward.
  if (!ClipToBox(x0, y0, x1, y1, -1, -1, width_, height_)) return;
  long x = std::lround(x0), y = std::lround(y0);
  const long xe = std::lround(x1), ye = std::lround(y1);
  const long dx = std::labs(xe - x), dy = -std::labs(ye - y);
  const long sx = x < xe ? 1 : -1, sy = y < ye ? 1 : -1;
  long err = dx + dy;
  for (;;) {
    Set(static_cast<int>(x), static_cast<int>(y), colour);
    if (x == xe && y == ye) break;
    const long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}
