// Loads the two windows of a correlation where some of their pixels are masked: each
// window's masked pixels take the mean of its own flow pixels, so that a wall or a model
// (often bright at its edge) adds nothing to the correlation but a constant, which the mean
// subtraction removes. Each window reads the mask at its own place in the image: walls do
// not move between the frames.
//
// Worked example: the 2 x 2 window 4096 0 / 0 8192 with inverseScale 1/4096 and the mask
// 1 1 / 1 0 (its last pixel masked) has the flow pixels 1, 0, 0, mean 1/3: it loads as
// 1 0 / 0 0.333, norm sqrt(1 + 1/9) = 1.054. With the mean subtracted (the window's mean is
// now the flow mean, 1/3) it loads as 0.667 -0.333 / -0.333 0, norm sqrt(2/3) = 0.816.
// A window without any flow pixel loads as zeros.
#ifndef MASKEDWINDOWLOADING_H
#define MASKEDWINDOWLOADING_H

#include "correlation/WindowLoading.h"

namespace tarvex {

// As LoadWindowPair, with mask1 and mask2 the mask bytes (nonzero flow) at the places of
// the first and second window; the norms are summed in index order.
template <typename Pixel>
WindowNorms LoadMaskedWindowPair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second,
                                 const WindowSource<unsigned char>& mask1,
                                 const WindowSource<unsigned char>& mask2, int nx, int ny,
                                 const WindowTreatment& treatment, fftw_real* to1, fftw_real* to2);

}  // namespace tarvex

#endif
