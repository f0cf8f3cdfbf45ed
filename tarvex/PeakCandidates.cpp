#include "PeakCandidates.h"

#include <algorithm>

#include "FitPeak2SubPixel.h"

// Strict maxima cannot neighbour each other, so a plane never has as many candidates as
// interior cells; one spare cell lets Scan write before it counts.
bool PeakCandidates::Reserve(int nx, int ny) {
  const size_t interior =
      nx > 2 && ny > 2 ? static_cast<size_t>(nx - 2) * static_cast<size_t>(ny - 2) : 0;
  return cells_.Reserve(interior + 1);
}

void PeakCandidates::Collect(const float* plane, int nx, int ny) {
  nx_ = nx;
  ny_ = ny;
  count_ = 0;
  Scan(plane, 1, 1, nx - 1, ny - 1);
}

// Every examined cell is written to the next free place and counted only when it is a
// candidate: no branch on the data. The free place exists: the candidates kept outside the
// examined cells plus the cells examined so far never exceed the interior cells.
void PeakCandidates::Scan(const float* plane, int x0, int y0, int x1, int y1) {
  x0 = std::max(x0, 1);
  y0 = std::max(y0, 1);
  x1 = std::min(x1, nx_ - 1);
  y1 = std::min(y1, ny_ - 1);
  Cell* out = cells_.data;
  size_t n = count_;
  for (int y = y0; y < y1; ++y) {
    const float* row = plane + static_cast<size_t>(y) * nx_;
    const float* up = row - nx_;
    const float* down = row + nx_;
    for (int x = x0; x < x1; ++x) {
      const float v = row[x];
      const bool peak = (v > row[x - 1]) & (v > row[x + 1]) & (v > up[x]) & (v > down[x]);
      out[n] = {v, x, y};
      n += peak;
    }
  }
  count_ = n;
}

float PeakCandidates::Highest(float* xmax, float* ymax) const {
  float best = kNoPeakValue;
  int bx = 0;
  int by = 0;
  bool found = false;
  for (size_t k = 0; k < count_; ++k) {
    const Cell& c = cells_.data[k];
    const bool earlier = c.y < by || (c.y == by && c.x < bx);
    if (c.value > best || (found && c.value == best && earlier)) {
      best = c.value;
      bx = c.x;
      by = c.y;
      found = true;
    }
  }
  *xmax = static_cast<float>(bx);
  *ymax = static_cast<float>(by);
  return best;
}

void PeakCandidates::Changed(const float* plane, int x0, int y0, int x1, int y1) {
  // A cell's verdict depends on itself and its four neighbours.
  --x0;
  --y0;
  ++x1;
  ++y1;
  size_t kept = 0;
  for (size_t k = 0; k < count_; ++k) {
    const Cell c = cells_.data[k];
    const bool affected = c.x >= x0 && c.x < x1 && c.y >= y0 && c.y < y1;
    cells_.data[kept] = c;
    kept += !affected;
  }
  count_ = kept;
  Scan(plane, x0, y0, x1, y1);
}
