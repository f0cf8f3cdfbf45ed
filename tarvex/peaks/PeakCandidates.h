// The candidates of the integer peak search on a correlation plane: every interior cell
// strictly above its four direct neighbours. Collected in one sweep and kept up to date when
// a part of the plane changes, so that finding the four highest peaks, with the area of each
// blanked before the next, takes one sweep of the plane instead of four. Highest() gives the
// cell search_CCIntPeak gives on the plane as it stands: the highest candidate above
// kNoPeakValue, the first in row order among equal ones.
//
// Worked example: on the 5 x 4 plane (rows)
//   0 0 0 0 0
//   0 5 1 7 0
//   0 2 0 7 0
//   0 0 0 0 0
// the candidates are (1, 1) = 5 only: (3, 1) and (3, 2) are not above each other. Highest()
// gives 5 at (1, 1). Setting (3, 2) to 0 and calling Changed(plane, 3, 2, 4, 3) re-examines
// columns 2..4 of rows 1..3 (the interior part of them): (3, 1) = 7 is now a candidate and
// Highest() gives 7 at (3, 1).
#ifndef PEAKCANDIDATES_H
#define PEAKCANDIDATES_H

#include <cstddef>

#include "support/CArray.h"

namespace tarvex {

class PeakCandidates {
 public:
  // Room for the candidates of a plane of ny rows of nx cells; false when memory cannot be
  // obtained. Allocates only to grow.
  bool Reserve(int nx, int ny);
  // The candidates of the plane (ny rows of nx cells) as it stands; Reserve(nx, ny) first.
  void Collect(const float* plane, int nx, int ny);
  // The highest candidate: its value, column and row; kNoPeakValue at (0, 0) when there is none.
  float Highest(float* xmax, float* ymax) const;
  // After cells x0 <= x < x1, y0 <= y < y1 of the collected plane have changed: the
  // candidates of those cells and of the cells next to them are taken again.
  void Changed(const float* plane, int x0, int y0, int x1, int y1);

 private:
  struct Cell {
    float value;
    int x, y;
  };
  // The best candidates of the sweep are kept in order; the others can only win once all of
  // these are gone, and then the plane is swept again.
  static constexpr int kKept = 8;

  // Appends the candidates of interior columns x0..x1-1 of rows y0..y1-1 to `list`, which
  // holds `count` of them, and returns the new count.
  size_t Scan(const float* plane, int x0, int y0, int x1, int y1, Cell* list, size_t count) const;
  // Puts c among best_ in its place when it comes before the last of them.
  void Rank(const Cell& c);
  // Ranks the candidate v at (x, y) of the sweep when it is above `last`, the value a
  // candidate must beat; returns that value after it. Out of line: the sweep's loop stays
  // small for the cells that are not ranked.
  __attribute__((noinline)) float Offer(float v, int x, int y, float last);

  Cell best_[kKept];    // the best candidates of the sweep still standing, best first
  int bestCount_ = 0;
  bool othersSwept_ = false;  // the sweep found more candidates than best_ holds
  CArray<Cell> retaken_;      // candidates taken again around changed cells since the sweep
  size_t retakenCount_ = 0;
  int nx_ = 0;
  int ny_ = 0;
};

}  // namespace tarvex

#endif
