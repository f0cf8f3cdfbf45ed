// Replacement of rejected and never-measured vectors, so that a predictor is defined at
// every grid point. Each point without a value is estimated along the four lines through
// it (its row, its column, both diagonals): by the mean of its two neighbours on a line
// when both have values, else by linear extrapolation from two points with values on one
// side; it takes the mean of these estimates, or, when there is none, the mean of its
// neighbours with values. Sweeps repeat until every point has a value; a value filled in
// a sweep is used by the next sweep only, so the result does not depend on the order of
// the points. Inside the field that is the mean of the eight neighbours; at the border it
// follows a gradient instead of flattening it.
//
// Worked example, one row 1 2 3 _ _ : sweep 1 fills point 3 with 2 x 3 - 2 = 4, sweep 2
// point 4 with 2 x 4 - 3 = 5. The row 2 _ _ _ 6 gets point 1 = 2 and point 3 = 6 (no line
// estimate: neighbour mean), then point 2 = (2 + 6) / 2 = 4.
#ifndef VECTORREPLACEMENT_H
#define VECTORREPLACEMENT_H

namespace tarvex {

// Fills u and v (nx x ny, row after row) at the points whose valid[k] is 0 from the
// points whose valid[k] is 1; valid itself is not changed. `state` is the caller's
// scratch of nx * ny bytes. Returns the number of points filled. A field without any
// valid point has nothing to fill from: u and v are then set to 0 everywhere and -1 is
// returned.
//
// Points whose last[k] is 1 (masked points; last may be null) are filled only once no
// other point can be: they serve no other point as a source before that, so that the flow
// on either side of a wall is filled from its own side. The row 1 2 # _ _ 8 9 with # filled
// last becomes 1 2 4 6 7 8 9: points 4 and 3 are extrapolated from the right (7, then 6),
// then # is the mean of its neighbours. Filled in one go it would be 1 2 3 5 7 8 9, point 3
// taking the value extrapolated into the wall.
int ReplaceInvalidVectors(float* u, float* v, const unsigned char* valid, int nx, int ny,
                          unsigned char* state, const unsigned char* last = nullptr);

}  // namespace tarvex

#endif
