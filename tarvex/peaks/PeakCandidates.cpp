#include "peaks/PeakCandidates.h"

#include <algorithm>
#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "peaks/FitPeak2SubPixel.h"

namespace tarvex {

namespace {

#ifdef __SSE2__
// Number of bits set in each 4-bit mask.
constexpr int kBitsSet[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
#endif

// Whether a comes before b in the order in which the search prefers cells: higher first,
// then the first in row order.
template <typename Cell>
bool Before(const Cell& a, const Cell& b) {
  return a.value > b.value || (a.value == b.value && (a.y < b.y || (a.y == b.y && a.x < b.x)));
}

template <typename Cell>
bool Inside(const Cell& c, int x0, int y0, int x1, int y1) {
  return c.x >= x0 && c.x < x1 && c.y >= y0 && c.y < y1;
}

// Keeps the cells of list[0..count-1] outside the rectangle, in their order; returns how many.
template <typename Cell>
size_t KeepOutside(Cell* list, size_t count, int x0, int y0, int x1, int y1) {
  size_t kept = 0;
  for (size_t k = 0; k < count; ++k) {
    const Cell c = list[k];
    list[kept] = c;
    kept += !Inside(c, x0, y0, x1, y1);
  }
  return kept;
}

}  // namespace

// Strict maxima cannot neighbour each other, so a plane never has as many candidates as
// interior cells; one spare cell lets Scan write before it counts. The cells taken again
// are distinct cells: each retake drops the earlier entries of its rectangle first.
bool PeakCandidates::Reserve(int nx, int ny) {
  const size_t interior =
      nx > 2 && ny > 2 ? static_cast<size_t>(nx - 2) * static_cast<size_t>(ny - 2) : 0;
  return retaken_.Reserve(interior + 1);
}

// The sweep offers a candidate for ranking only when it beats the last of best_ (or best_
// is not full): cells come in row order, so a later cell of equal value does not beat it.
// That is rare once best_ is full, and every other cell costs its comparisons only: four
// cells at a time where SSE2 is there, the rest of a row one by one.
void PeakCandidates::Collect(const float* plane, int nx, int ny) {
  nx_ = nx;
  ny_ = ny;
  bestCount_ = 0;
  retakenCount_ = 0;
  size_t count = 0;
  float last = -HUGE_VALF;  // no candidate is below it; NaN is never a candidate
  for (int y = 1; y < ny - 1; ++y) {
    const float* row = plane + static_cast<size_t>(y) * nx;
    const float* up = row - nx;
    const float* down = row + nx;
    int x = 1;
#ifdef __SSE2__
    for (; x + 4 <= nx - 1; x += 4) {
      const __m128 v = _mm_loadu_ps(row + x);
      const __m128 sideways = _mm_and_ps(_mm_cmpgt_ps(v, _mm_loadu_ps(row + x - 1)),
                                         _mm_cmpgt_ps(v, _mm_loadu_ps(row + x + 1)));
      const __m128 vertical = _mm_and_ps(_mm_cmpgt_ps(v, _mm_loadu_ps(up + x)),
                                         _mm_cmpgt_ps(v, _mm_loadu_ps(down + x)));
      const int peaks = _mm_movemask_ps(_mm_and_ps(sideways, vertical));
      count += kBitsSet[peaks];
      int above = peaks & _mm_movemask_ps(_mm_cmpgt_ps(v, _mm_set1_ps(last)));
      for (int lane = 0; above != 0; ++lane, above >>= 1)
        if (above & 1) last = Offer(row[x + lane], x + lane, y, last);
    }
#endif
    for (; x < nx - 1; ++x) {
      const float v = row[x];
      const bool peak = (v > row[x - 1]) & (v > row[x + 1]) & (v > up[x]) & (v > down[x]);
      count += peak;
      if (peak & (v > last)) last = Offer(v, x, y, last);
    }
  }
  othersSwept_ = count > static_cast<size_t>(kKept);
}

float PeakCandidates::Offer(float v, int x, int y, float last) {
  if (!(v > last)) return last;
  Rank({v, x, y});
  return bestCount_ == kKept ? best_[kKept - 1].value : last;
}

void PeakCandidates::Rank(const Cell& c) {
  if (bestCount_ < kKept)
    ++bestCount_;
  else if (!Before(c, best_[kKept - 1]))
    return;
  int i = bestCount_ - 1;
  for (; i > 0 && Before(c, best_[i - 1]); --i) best_[i] = best_[i - 1];
  best_[i] = c;
}

// Every examined cell is written to the next free place and counted only when it is a
// candidate: no branch on the data. The free place exists (see Reserve).
size_t PeakCandidates::Scan(const float* plane, int x0, int y0, int x1, int y1, Cell* list,
                            size_t count) const {
  x0 = std::max(x0, 1);
  y0 = std::max(y0, 1);
  x1 = std::min(x1, nx_ - 1);
  y1 = std::min(y1, ny_ - 1);
  for (int y = y0; y < y1; ++y) {
    const float* row = plane + static_cast<size_t>(y) * nx_;
    const float* up = row - nx_;
    const float* down = row + nx_;
    for (int x = x0; x < x1; ++x) {
      const float v = row[x];
      const bool peak = (v > row[x - 1]) & (v > row[x + 1]) & (v > up[x]) & (v > down[x]);
      list[count] = {v, x, y};
      count += peak;
    }
  }
  return count;
}

// The candidates the sweep found but best_ does not hold come after every cell of best_,
// so while best_ holds one they cannot win.
float PeakCandidates::Highest(float* xmax, float* ymax) const {
  Cell best{kNoPeakValue, 0, 0};
  bool found = false;
  const auto consider = [&best, &found](const Cell& c) {
    if (c.value > best.value || (found && Before(c, best))) {
      best = c;
      found = true;
    }
  };
  if (bestCount_ > 0) consider(best_[0]);
  for (size_t k = 0; k < retakenCount_; ++k) consider(retaken_.data[k]);
  *xmax = static_cast<float>(best.x);
  *ymax = static_cast<float>(best.y);
  return best.value;
}

void PeakCandidates::Changed(const float* plane, int x0, int y0, int x1, int y1) {
  // A cell's verdict depends on itself and its four neighbours.
  --x0;
  --y0;
  ++x1;
  ++y1;
  bestCount_ = static_cast<int>(KeepOutside(best_, static_cast<size_t>(bestCount_), x0, y0, x1, y1));
  retakenCount_ = KeepOutside(retaken_.data, retakenCount_, x0, y0, x1, y1);
  if (bestCount_ == 0 && othersSwept_) {
    Collect(plane, nx_, ny_);
    return;
  }
  retakenCount_ = Scan(plane, x0, y0, x1, y1, retaken_.data, retakenCount_);
}

}  // namespace tarvex
