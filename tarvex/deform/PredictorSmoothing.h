// Smoothing of the predictor field of a deformation pass. Iterating "predictor at the
// centre plus measured residual" does not damp errors that alternate from one grid point
// to the next: the deformed windows average the predictor over their width, so such an
// error is neither seen by the correlation nor corrected, and stays from pass to pass
// (Schrijer and Scarano, Exp. Fluids 2008). A filter whose response is zero at two grid
// spacings removes exactly that; the less it takes from longer waves, the closer the
// passes come to the true field where the grid can represent it.
//
// Responses at a wave of n grid spacings (cos t, t = 2 pi / n):
//   [1 2 1]/4           (1 + cos t) / 2                   n = 2: 0, n = 4: 0.50, n = 6: 0.75
//   [-1 4 10 4 -1]/16   (5 + 4 cos t - cos 2t) / 8        n = 2: 0, n = 4: 0.75, n = 6: 0.94
// Lines are continued beyond their ends by point reflection (2 f0 - fk), so an end value
// stays and a linear field passes unchanged.
//
// Worked example, one row: 1.0 1.2 1.0 1.2 1.0 becomes 1.0 1.1 1.1 1.1 1.0 with [1 2 1];
// with the five-tap filter 1.0 1.125 1.1 1.125 1.0 (the ends stay);
// 1 2 3 4 stays 1 2 3 4 under both.
#ifndef PREDICTORSMOOTHING_H
#define PREDICTORSMOOTHING_H

namespace tarvex {

enum class PredictorFilter {
  None,
  Binomial,  // [1 2 1]/4
  FiveTap,   // [-1 4 10 4 -1]/16
};

// Filters the nx x ny field `f` (row after row) in place along x, then along y; `scratch`
// is the caller's, nx * ny floats.
void SmoothPredictorField(float* f, int nx, int ny, float* scratch,
                          PredictorFilter filter = PredictorFilter::Binomial);

}  // namespace tarvex

#endif
