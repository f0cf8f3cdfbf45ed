#include "SymmetricDeformation.h"

namespace {

// Lanes of the column sums: the support rounded up to a vector's width, so that the
// compiler keeps them in one or two vector registers.
template <int S>
constexpr int kLanes = S <= 4 ? 4 : 8;

// The spline's value at (x, y) with S coefficients a side. Where the lanes lie inside the
// image (nearly every pixel) the S rows are first summed down each column, element by
// element in vector registers, and the column sums then weighted along the row; near the
// border the indices are mirrored.
template <int S>
__attribute__((always_inline)) inline float Sample(const BSplineCoefficients& image, double x, double y) {
  constexpr BSplineDegree kDegree = S == 4 ? BSplineDegree::Cubic : BSplineDegree::Quintic;
  float wx[kMaxBSplineSupport], wy[kMaxBSplineSupport];
  const int x0 = BSplineWeights(kDegree, x, wx);
  const int y0 = BSplineWeights(kDegree, y, wy);
  const int w = image.width;
  float sum = 0.0f;
  if (x0 >= 0 && y0 >= 0 && x0 + kLanes<S> <= w && y0 + S <= image.height) {
    const float* c = image.c + static_cast<ptrdiff_t>(y0) * w + x0;
    float column[kLanes<S>] = {};
    for (int j = 0; j < S; ++j, c += w)
      for (int i = 0; i < kLanes<S>; ++i) column[i] += wy[j] * c[i];
    for (int i = 0; i < S; ++i) sum += wx[i] * column[i];
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

// Inlined into each compiled variant of DeformRows, with the sampling.
template <int S>
__attribute__((always_inline)) inline void DeformRowsOf(const BSplineCoefficients& first, const BSplineCoefficients& second,
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

// Compiled for AVX2 too, chosen at load time where the processor has it: eight column
// sums in one register. The same operations in the same order, so the same bits.
__attribute__((target_clones("avx2", "default")))
void DeformRows(const BSplineCoefficients& first, const BSplineCoefficients& second,
                const DisplacementPredictor& predictor, int rowBegin, int rowEnd,
                DeformationRows& rows, float* deformedFirst, float* deformedSecond) {
  if (first.degree == BSplineDegree::Cubic)
    DeformRowsOf<4>(first, second, predictor, rowBegin, rowEnd, rows, deformedFirst, deformedSecond);
  else
    DeformRowsOf<6>(first, second, predictor, rowBegin, rowEnd, rows, deformedFirst, deformedSecond);
}
