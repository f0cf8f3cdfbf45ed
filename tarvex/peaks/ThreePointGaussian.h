// The opt-in three-point Gaussian sub-pixel estimator, the standard alternative to the
// least-squares fit over the slope-walk neighbourhood.
//
// Worked example: a peak 1 at column 17, row 15 of a 32 x 32 plane with e^-1 to its left and
// e^-0.25 to its right lies on a Gaussian whose vertex is (ln l - ln r) / (2 ln l - 4 ln c +
// 2 ln r) = (-1 + 0.25) / (-2 - 0.5) = 0.3 cells to the right: column 17.3, displacement
// 17.3 - (32/2 - 1) = +2.3. With equal values above and below (e^-0.5 each) the vertex stays
// on row 15: displacement 15 - 15 = 0.
#ifndef THREEPOINTGAUSSIAN_H
#define THREEPOINTGAUSSIAN_H

namespace tarvex {

// Which sub-pixel estimator refines the correlation peaks.
enum class SubPixelEstimator {
  Fit,     // least-squares Gaussian fit over the slope-walk neighbourhood (the default)
  Gauss3,  // three-point Gaussian estimator on each axis
};

// Refines the integer peak (*xloc, *yloc) of value maxv on the plane `array` (ny rows of
// nx floats) from its four direct neighbours, and replaces it with the displacement
// relative to the plane's zero-displacement cell, reported as CC_fit_linear_exp does.
void ThreePointGaussianPeak(const float* array, int nx, int ny, float* xloc, float* yloc,
                            float maxv);

}  // namespace tarvex

#endif
