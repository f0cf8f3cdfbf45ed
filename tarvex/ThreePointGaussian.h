// The opt-in three-point Gaussian sub-pixel estimator, the standard alternative to the
// least-squares fit over the slope-walk neighbourhood.
#ifndef THREEPOINTGAUSSIAN_H
#define THREEPOINTGAUSSIAN_H

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

#endif
