// The standard uncertainty of a sub-pixel displacement from the statistics of its own
// correlation (correlation statistics): two windows that match perfectly correlate
// symmetrically about their peak, so the contributions of the pixels to the difference of
// the two side values of the peak cancel pixel by pixel. Where the windows differ (noise,
// particles entering or leaving, a flow the deformation did not follow) they do not, and
// the spread of those contributions says how far the side values, and with them the
// three-point Gaussian estimate, may be off.
//
// Along x, with the integer peak at displacement p, the side values are
//   C(p+1) = sum_X a(X) b(X+p+1),   C(p-1) = sum_X a(X+1) b(X+p)
// (the second re-indexed), so C(p+1) - C(p-1) = sum_X dS(X) with
//   dS(X) = a(X) b(X+p+1) - a(X+1) b(X+p),
// zero in every pixel where b(X+p) = a(X). The contributions of the pixels of one particle
// image are far from independent (a mismatch moves them together, or in opposite
// directions), so they are summed over blocks of kStatisticsBlock x kStatisticsBlock pixels
// first (the last blocks of a row or column may be smaller), and the blocks' sums D_k are
// taken as independent:
//   s = sqrt(sum_k (D_k - mean D)^2).
// sigma_x is half the change of the three-point Gaussian estimate when the difference
// C(p+1) - C(p-1) moves by 2s:
//   sigma_x = |f(C(p-1) - s/2, C(p), C(p+1) + s/2) - f(C(p-1) + s/2, C(p), C(p+1) - s/2)| / 2,
// f(l, c, r) = (ln l - ln r) / (2 ln l - 4 ln c + 2 ln r). Indices wrap around the window, as
// in the circular correlation that found the peak. The windows must match to within a
// small fraction of a pixel, as the last deformation pass leaves them: the contributions of
// a larger sub-pixel shift do not cancel either, and count as spread (a pair 0.3 px apart
// without noise shows about 0.06 px). A side value the shift would push to
// zero or below is held at a millionth of the centre value, and one it would push to the
// centre or above just below it, which keeps sigma within half a pixel.
//
// Worked example (one row of 6 pixels, p = 0): a = 0 1 3 0 2 0, b = 0 1 2 1 1 1. C(0) = 9,
// C(+1) = a0 b1 + a1 b2 + a2 b3 + a3 b4 + a4 b5 + a5 b0 = 2 + 3 + 2 = 7, C(-1) = a1 b0 + a2 b1 +
// a3 b2 + a4 b3 + a5 b4 + a0 b5 = 3 + 2 = 5. dS = (0, -1, 3, -2, 2, 0), in blocks of 3: D = 2
// and 0 (sum 2 = 7 - 5), mean 1, s = sqrt(1 + 1) = 1.414. The estimate is f(5, 9, 7) =
// 0.2005 px; f(4.293, 9, 7.707) = 0.3268 and f(5.707, 9, 6.293) = 0.0601, so sigma_x =
// 0.1334 px. With b = a, every dS is 0 and sigma_x = 0.
#ifndef CORRELATIONSTATISTICS_H
#define CORRELATIONSTATISTICS_H

#include <rfftw.h>

namespace tarvex {

// Side of the blocks whose contributions are summed before their spread is taken.
constexpr int kStatisticsBlock = 3;

// Standard uncertainties of the two components of one displacement, in pixels.
struct ComponentSigma {
  float u;
  float v;
};

// The windows a (first image) and b (second image) as correlated: ny rows of nx values,
// mean subtracted. (px, py) is the integer peak of their correlation as a displacement in
// cells (the plane's column minus nx/2 - 1, its row minus ny/2 - 1), a strict maximum with
// a positive value. NaN for an axis whose peak value is not positive.
ComponentSigma CorrelationStatisticsSigma(const fftw_real* a, const fftw_real* b, int nx, int ny,
                                          int px, int py);

}  // namespace tarvex

#endif
