#include "SymmetricDeformation.h"

namespace {

// The spline's value at (x, y) with S coefficients a side: direct reads where the whole
// support lies inside the image (nearly every pixel), mirrored indices near the border.
template <int S>
float Sample(const BSplineCoefficients& image, double x, double y) {
  constexpr BSplineDegree kDegree = S == 4 ? BSplineDegree::Cubic : BSplineDegree::Quintic;
  float wx[kMaxBSplineSupport], wy[kMaxBSplineSupport];
  const int x0 = BSplineWeights(kDegree, x, wx);
  const int y0 = BSplineWeights(kDegree, y, wy);
  const int w = image.width;
  float sum = 0.0f;
  if (x0 >= 0 && y0 >= 0 && x0 + S <= w && y0 + S <= image.height) {
    const float* c = image.c + static_cast<ptrdiff_t>(y0) * w + x0;
    for (int j = 0; j < S; ++j, c += w) {
      float rowSum = 0.0f;
      for (int i = 0; i < S; ++i) rowSum += wx[i] * c[i];
      sum += wy[j] * rowSum;
    }
    return sum;
  }
  for (int j = 0; j < S; ++j) {
    const float* row = image.c + static_cast<ptrdiff_t>(MirrorIndex(y0 + j, image.height)) * w;
    float rowSum = 0.0f;
    for (int i = 0; i < S; ++i) rowSum += wx[i] * row[MirrorIndex(x0 + i, w)];
    sum += wy[j] * rowSum;
  }
  return sum;
}

template <int S>
void DeformRowsOf(const BSplineCoefficients& first, const BSplineCoefficients& second,
                  const DisplacementPredictor& predictor, int rowBegin, int rowEnd,
                  DeformationRows& rows, float* deformedFirst, float* deformedSecond) {
  const int width = first.width;
  for (int y = rowBegin; y < rowEnd; ++y) {
    predictor.Row(y, rows.u.data, rows.v.data, rows.scratch.data);
    float* out1 = deformedFirst + static_cast<ptrdiff_t>(y) * width;
    float* out2 = deformedSecond + static_cast<ptrdiff_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const double hu = 0.5 * rows.u.data[x];
      const double hv = 0.5 * rows.v.data[x];
      out1[x] = Sample<S>(first, x - hu, y - hv);
      out2[x] = Sample<S>(second, x + hu, y + hv);
    }
  }
}

}  // namespace

bool DeformationRows::Prepare(int width, int gridColumns) {
  const size_t w = static_cast<size_t>(width);
  return u.Reserve(w) && v.Reserve(w) && scratch.Reserve(2 * static_cast<size_t>(gridColumns));
}

void DeformRows(const BSplineCoefficients& first, const BSplineCoefficients& second,
                const DisplacementPredictor& predictor, int rowBegin, int rowEnd,
                DeformationRows& rows, float* deformedFirst, float* deformedSecond) {
  if (first.degree == BSplineDegree::Cubic)
    DeformRowsOf<4>(first, second, predictor, rowBegin, rowEnd, rows, deformedFirst, deformedSecond);
  else
    DeformRowsOf<6>(first, second, predictor, rowBegin, rowEnd, rows, deformedFirst, deformedSecond);
}
