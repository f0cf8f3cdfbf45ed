// Symmetric image deformation: with d(p) the predicted displacement at pixel p, the first
// image is resampled at p - d(p)/2 and the second at p + d(p)/2, so that a particle that
// moved by d(p) sits at p in both results and the correlation measures only what the
// predictor missed, centred on the window with no bias toward either image.
//
// Worked example: a uniform shift of (0.6, 0) px. Pixel (10, 10) of the deformed first
// image is the first image's spline at (9.7, 10), of the deformed second image the second
// image's spline at (10.3, 10): a particle at 9.7 in the first image (and therefore at
// 10.3 in the second) lands on pixel 10 in both.
#ifndef SYMMETRICDEFORMATION_H
#define SYMMETRICDEFORMATION_H

#include "deform/BSplineImage.h"
#include "deform/DisplacementPredictor.h"
#include "support/CArray.h"

namespace tarvex {

// The row buffers of one deforming thread: the predicted u and v of a row and the
// predictor's scratch.
class DeformationRows {
 public:
  // Room for rows of `width` pixels over a grid `gridColumns` wide; false without memory.
  bool Prepare(int width, int gridColumns);

  CArray<float> u, v, scratch;
};

// Writes rows [rowBegin, rowEnd) of the deformed first and second images (the
// coefficients' width x height floats each, in pixel counts) from the coefficients of
// both images, which must share size and degree. Other rows are not touched, so threads
// may deform disjoint ranges of the same buffers. `rows` must be prepared for the width.
void DeformRows(const BSplineCoefficients& first, const BSplineCoefficients& second,
                const DisplacementPredictor& predictor, int rowBegin, int rowEnd,
                DeformationRows& rows, float* deformedFirst, float* deformedSecond);

}  // namespace tarvex

#endif
