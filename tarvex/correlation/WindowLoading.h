// Loads the two windows of a correlation straight from their images into the real arrays
// the transforms take, scaled, optionally mean-subtracted and weighted, and returns their
// norms: one pass per window without the mean, two with it, instead of a pass for every step.
//
// Worked example: the 2 x 2 window 4096 0 / 0 0 with inverseScale 1/4096 loads as 1 0 0 0,
// norm sqrt(1) = 1. With its mean 0.25 subtracted it loads as 0.75 -0.25 -0.25 -0.25, norm
// sqrt(0.5625 + 3 * 0.0625) = sqrt(0.75) = 0.866; weights 2 1 1 1 then make it 1.5 -0.25
// -0.25 -0.25, norm sqrt(2.25 + 0.1875) = 1.561.
//
// The values and norms are those of loading, subtracting, weighting and summing the squares
// one step after another in index order, to the last bit. The mean of 16-bit pixels is
// summed in integers, which is exact; their squares are summed in any order where every
// partial sum is exact (scaled pixels, or pixels less their mean in a window of 2^k pixels,
// and a sum below 2^53 of their quanta squared), else in index order.
#ifndef WINDOWLOADING_H
#define WINDOWLOADING_H

#include <rfftw.h>

#include <cstddef>

#include "correlation/fftw-2d.h"

namespace tarvex {

// A window of an image with rows of `width` pixels whose first pixel is (left, top).
template <typename Pixel>
struct WindowSource {
  const Pixel* image;
  int width;
  int left;
  int top;

  // The first pixel of the window's row r.
  const Pixel* Row(int r) const { return image + static_cast<ptrdiff_t>(top + r) * width + left; }
};

// What is done to both windows on the way: pixel * inverseScale (a power of two keeps the
// values exact), then the window's mean subtracted when asked, then multiplied by weight[k]
// when weight is not null (nx * ny values).
struct WindowTreatment {
  double inverseScale;
  bool subtractMean;
  const float* weight;
};

// Loads the ny rows of nx pixels of each source into to1 and to2 (nx * ny values each) and
// returns their Euclidean norms as loaded.
template <typename Pixel>
WindowNorms LoadWindowPair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second,
                           int nx, int ny, const WindowTreatment& treatment, fftw_real* to1,
                           fftw_real* to2);

}  // namespace tarvex

#endif
