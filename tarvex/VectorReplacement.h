// Replacement of rejected and never-measured vectors, so that a predictor is defined at
// every grid point: each point without a value takes the mean of its neighbours (the
// eight around it) that have one, sweep after sweep, until every point has a value.
// A value filled in a sweep is used by the next sweep only, so the result does not
// depend on the order of the points.
//
// Worked example, one row of five points with values only at both ends, 2 _ _ _ 6:
// sweep 1 fills points 1 and 3 (2 and 6), sweep 2 fills point 2 with (2 + 6) / 2 = 4.
#ifndef VECTORREPLACEMENT_H
#define VECTORREPLACEMENT_H

// Fills u and v (nx x ny, row after row) at the points whose valid[k] is 0 from the
// points whose valid[k] is 1; valid itself is not changed. `state` is the caller's
// scratch of nx * ny bytes. Returns the number of points filled. A field without any
// valid point has nothing to fill from: u and v are then set to 0 everywhere and -1 is
// returned.
int ReplaceInvalidVectors(float* u, float* v, const unsigned char* valid, int nx, int ny,
                          unsigned char* state);

#endif
