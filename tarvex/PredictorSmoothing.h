// Smoothing of the predictor field of a deformation pass. Iterating "predictor at the
// centre plus measured residual" does not damp errors that alternate from one grid point
// to the next: the deformed windows average the predictor over their width, so such an
// error is neither seen by the correlation nor corrected, and stays from pass to pass
// (Schrijer and Scarano, Exp. Fluids 2008). A [1 2 1]/4 filter along each axis removes
// exactly that wavelength of two grid spacings and leaves linear fields unchanged.
//
// Worked example, one row: 1.0 1.2 1.0 1.2 1.0 becomes 1.0 1.1 1.1 1.1 1.0 (an end point
// keeps its value: the row is extended linearly beyond it); 1 2 3 4 stays 1 2 3 4.
#ifndef PREDICTORSMOOTHING_H
#define PREDICTORSMOOTHING_H

// Filters the nx x ny field `f` (row after row) in place with [1 2 1]/4 along x, then
// along y; `scratch` is the caller's, nx * ny floats.
void SmoothPredictorField(float* f, int nx, int ny, float* scratch);

#endif
