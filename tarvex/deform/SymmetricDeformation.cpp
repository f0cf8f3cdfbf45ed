#include "deform/SymmetricDeformation.h"

#include <algorithm>

namespace tarvex {

namespace {

// Pixels of a row sampled together: their spline weights are computed first, in one loop
// of fixed length that the compiler vectorises, then the pixels are summed one by one.
constexpr int kChunk = 64;

// Lanes of the column sums: the support rounded up to a vector's width, so that the
// compiler keeps them in one or two vector registers.
template <int S>
constexpr int kLanes = S <= 4 ? 4 : 8;

template <int S>
__attribute__((always_inline)) inline void Weights(float t, float* w, int stride) {
  if (S == 4)
    CubicWeights(t, w, stride);
  else
    QuinticWeights(t, w, stride);
}

// The positions of a chunk along both axes, split into whole coefficients and weights:
// row k of wx (wy) holds the weights of coefficient x0 + k (y0 + k) of every pixel.
template <int S>
struct ChunkWeights {
  int x0[kChunk], y0[kChunk];
  float tx[kChunk], ty[kChunk];
  float wx[S][kChunk], wy[S][kChunk];
};

// The spline's value for pixel i of the chunk. Where the lanes lie inside the image
// (nearly every pixel) the S rows are first summed down each column, element by element in
// vector registers, and the column sums then weighted along the row; near the border the
// indices are mirrored.
template <int S>
__attribute__((always_inline)) inline float Sample(const BSplineCoefficients& image,
                                                   const ChunkWeights<S>& cw, int i) {
  const int x0 = cw.x0[i], y0 = cw.y0[i];
  const int w = image.width;
  float sum = 0.0f;
  if (x0 >= 0 && y0 >= 0 && x0 + kLanes<S> <= w && y0 + S <= image.height) {
    const float* c = image.c + static_cast<ptrdiff_t>(y0) * w + x0;
    float column[kLanes<S>] = {};
    for (int j = 0; j < S; ++j, c += w)
      for (int k = 0; k < kLanes<S>; ++k) column[k] += cw.wy[j][i] * c[k];
    for (int k = 0; k < S; ++k) sum += cw.wx[k][i] * column[k];
    return sum;
  }
  for (int j = 0; j < S; ++j) {
    const float* row = image.c + static_cast<ptrdiff_t>(MirrorIndex(y0 + j, image.height)) * w;
    float rowSum = 0.0f;
    for (int k = 0; k < S; ++k) rowSum += cw.wx[k][i] * row[MirrorIndex(x0 + k, w)];
    sum += cw.wy[j][i] * rowSum;
  }
  return sum;
}

// Pixels sampled side by side: where their supports are neighbours (the same first row, the
// first columns one apart, as almost everywhere in a smooth field) the sums of each pixel
// run in vector lanes across the pixels.
constexpr int kGroup = 8;

// Whether pixels i..i+kGroup-1 of the chunk have supports one column apart on the same
// rows, all inside the image.
template <int S>
__attribute__((always_inline)) inline bool Neighbours(const BSplineCoefficients& image,
                                                      const ChunkWeights<S>& cw, int i) {
  const int x0 = cw.x0[i], y0 = cw.y0[i];
  if (x0 < 0 || y0 < 0 || x0 + kGroup - 1 + S > image.width || y0 + S > image.height) return false;
  bool same = true;
  for (int m = 1; m < kGroup; ++m) same &= cw.x0[i + m] == x0 + m && cw.y0[i + m] == y0;
  return same;
}

// The values of pixels i..i+kGroup-1, summed in the order Sample sums each of them (down
// the columns, then along the row), so the bits are the same.
template <int S>
__attribute__((always_inline)) inline void SampleGroup(const BSplineCoefficients& image,
                                                       const ChunkWeights<S>& cw, int i, float* out) {
  const int w = image.width;
  const float* c = image.c + static_cast<ptrdiff_t>(cw.y0[i]) * w + cw.x0[i];
  float column[S][kGroup] = {};
  for (int j = 0; j < S; ++j, c += w)
    for (int k = 0; k < S; ++k)
      for (int m = 0; m < kGroup; ++m) column[k][m] += cw.wy[j][i + m] * c[k + m];
  float sum[kGroup] = {};
  for (int k = 0; k < S; ++k)
    for (int m = 0; m < kGroup; ++m) sum[m] += cw.wx[k][i + m] * column[k][m];
  for (int m = 0; m < kGroup; ++m) out[m] = sum[m];
}

// Samples `image` at (x + half u, y + half v) for the n <= kChunk pixels x = x0.. of row
// y, with half = -1/2 for the first image and +1/2 for the second.
template <int S>
__attribute__((always_inline)) inline void SampleChunk(const BSplineCoefficients& image, double half,
                                                       int y, int x0, int n, const float* u,
                                                       const float* v, ChunkWeights<S>& cw, float* out) {
  constexpr int kFirst = S == 4 ? 1 : 2;  // the support starts this far below floor(x)
  for (int i = 0; i < n; ++i) {
    cw.x0[i] = SplitPosition(x0 + i + half * u[i], &cw.tx[i]) - kFirst;
    cw.y0[i] = SplitPosition(y + half * v[i], &cw.ty[i]) - kFirst;
  }
  // The whole chunk, so that the loops have a fixed length; the tail of a short chunk
  // holds fractions of zero and its weights are never used.
  std::fill(cw.tx + n, cw.tx + kChunk, 0.0f);
  std::fill(cw.ty + n, cw.ty + kChunk, 0.0f);
  for (int i = 0; i < kChunk; ++i) Weights<S>(cw.tx[i], &cw.wx[0][i], kChunk);
  for (int i = 0; i < kChunk; ++i) Weights<S>(cw.ty[i], &cw.wy[0][i], kChunk);
  int i = 0;
  for (; i + kGroup <= n; i += kGroup) {
    if (Neighbours<S>(image, cw, i)) {
      SampleGroup<S>(image, cw, i, out + i);
      continue;
    }
    for (int m = 0; m < kGroup; ++m) out[i + m] = Sample<S>(image, cw, i + m);
  }
  for (; i < n; ++i) out[i] = Sample<S>(image, cw, i);
}

// Inlined into each compiled variant of DeformRows, with the sampling.
template <int S>
__attribute__((always_inline)) inline void DeformRowsOf(
    const BSplineCoefficients& first, const BSplineCoefficients& second,
    const DisplacementPredictor& predictor, int rowBegin, int rowEnd, DeformationRows& rows,
    float* deformedFirst, float* deformedSecond) {
  const int width = first.width;
  ChunkWeights<S> cw;
  for (int y = rowBegin; y < rowEnd; ++y) {
    predictor.Row(y, rows.u.data, rows.v.data, rows.scratch.data);
    float* out1 = deformedFirst + static_cast<ptrdiff_t>(y) * width;
    float* out2 = deformedSecond + static_cast<ptrdiff_t>(y) * width;
    for (int x = 0; x < width; x += kChunk) {
      const int n = std::min(kChunk, width - x);
      const float* u = rows.u.data + x;
      const float* v = rows.v.data + x;
      SampleChunk<S>(first, -0.5, y, x, n, u, v, cw, out1 + x);
      SampleChunk<S>(second, 0.5, y, x, n, u, v, cw, out2 + x);
    }
  }
}

}  // namespace

bool DeformationRows::Prepare(int width, int gridColumns) {
  const size_t w = static_cast<size_t>(width);
  return u.Reserve(w) && v.Reserve(w) &&
         scratch.Reserve(static_cast<size_t>(DisplacementPredictor::ScratchFloats(gridColumns)));
}

// Compiled for AVX2 too, chosen at load time where the processor has it: eight weights or
// column sums in one register. The same operations in the same order, so the same bits.
// ThreadSanitizer instruments the resolver that chooses, which runs before its runtime has
// started, so its builds keep the baseline variant alone.
#if defined(__SANITIZE_THREAD__)
#define DEFORMATION_VARIANTS
#else
#define DEFORMATION_VARIANTS __attribute__((target_clones("avx2", "default")))
#endif
DEFORMATION_VARIANTS
void DeformRows(const BSplineCoefficients& first, const BSplineCoefficients& second,
                const DisplacementPredictor& predictor, int rowBegin, int rowEnd,
                DeformationRows& rows, float* deformedFirst, float* deformedSecond) {
  if (first.degree == BSplineDegree::Cubic)
    DeformRowsOf<4>(first, second, predictor, rowBegin, rowEnd, rows, deformedFirst, deformedSecond);
  else
    DeformRowsOf<6>(first, second, predictor, rowBegin, rowEnd, rows, deformedFirst, deformedSecond);
}

}  // namespace tarvex
