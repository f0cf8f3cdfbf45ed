#include "mask/FlowMask.h"

#include <algorithm>
#include <utility>

#include "grid/WindowGeometry.h"

namespace tarvex {

FlowMask::FlowMask(MaskImage mask) : mask_(std::move(mask)) {
  const int w = Width(), h = Height();
  // A side is at most 5000 px (the mask reader refuses more): every count fits 32 bits.
  counts_.assign(static_cast<size_t>(w + 1) * static_cast<size_t>(h + 1), 0);
  for (int y = 0; y < h; ++y) {
    uint32_t row = 0;
    for (int x = 0; x < w; ++x) {
      row += mask_.Flow(x, y) ? 0 : 1;
      counts_[static_cast<size_t>(y + 1) * (w + 1) + x + 1] = Count(x + 1, y) + row;
    }
  }
}

long long FlowMask::MaskedIn(int left, int top, int nx, int ny) const {
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = std::min(left + nx, Width()), y1 = std::min(top + ny, Height());
  if (x0 >= x1 || y0 >= y1) return 0;
  return static_cast<long long>(Count(x1, y1)) - Count(x0, y1) - Count(x1, y0) + Count(x0, y0);
}

bool FlowMask::PointMasked(int x, int y, int nx, int ny) const {
  const int left = WindowStart(x, nx), top = WindowStart(y, ny);
  // The middle columns of left .. left + nx - 1: one for an odd nx, two for an even one.
  const int cx = left + (nx - 1) / 2, cy = top + (ny - 1) / 2;
  const int cw = 2 - nx % 2, ch = 2 - ny % 2;
  if (MaskedIn(cx, cy, cw, ch) > 0) return true;
  const long long window = static_cast<long long>(nx) * ny;
  // Pixels beyond the image hold no flow.
  const int cols = std::max(0, std::min(left + nx, Width()) - std::max(left, 0));
  const int rows = std::max(0, std::min(top + ny, Height()) - std::max(top, 0));
  const long long flow = static_cast<long long>(cols) * rows - MaskedIn(left, top, nx, ny);
  return 4 * flow < window;
}

}  // namespace tarvex
