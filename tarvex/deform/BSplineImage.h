// B-spline interpolation of an image: the recursive prefilter that turns pixel values
// into B-spline coefficients, and sampling at real positions, for the cubic and the
// quintic spline, with mirror boundaries (pixel -k is pixel k, pixel W-1+k is W-1-k).
//
// Worked example (cubic, one row): pixels 0 0 6 0 0 give the coefficients c with
// c[k-1]/6 + 4c[k]/6 + c[k+1]/6 = s[k] (mirrored at both ends), so that the spline passes
// through the pixels again; halfway down the peak, at x = 2.5, it gives 3.5625 where
// linear interpolation gives 3.0: a sampled particle keeps its rounded profile.
//
// All buffers belong to the caller: the prefilter works in place on W*H floats, so one
// coefficient buffer per image is all the memory needed, and nothing allocates.
#ifndef BSPLINEIMAGE_H
#define BSPLINEIMAGE_H

#include <cstddef>

namespace tarvex {

enum class BSplineDegree { Cubic = 3, Quintic = 5 };

// The largest support of a sampled value along one axis (quintic: 6 coefficients).
constexpr int kMaxBSplineSupport = 6;

inline int BSplineSupport(BSplineDegree degree) { return static_cast<int>(degree) + 1; }

// Coefficients of an image: `height` rows of `width` floats, row after row.
struct BSplineCoefficients {
  const float* c = nullptr;
  int width = 0;
  int height = 0;
  BSplineDegree degree = BSplineDegree::Cubic;
};

// Copies rows [rowBegin, rowEnd) of a 16-bit image (width pixels a row) into `out` as
// floats and prefilters each of them along x. Rows may be split among threads.
void PrefilterImageRows(const unsigned short* pixels, int width, int rowBegin, int rowEnd,
                        BSplineDegree degree, float* out);
// Prefilters rows [rowBegin, rowEnd) of `c` in place along x.
void PrefilterRows(float* c, int width, int rowBegin, int rowEnd, BSplineDegree degree);
// Prefilters columns [columnBegin, columnEnd) of the width x height array `c` in place
// along y; run after every row has been filtered. Columns may be split among threads.
void PrefilterColumns(float* c, int width, int height, int columnBegin, int columnEnd,
                      BSplineDegree degree);
// Both passes over the whole array, on the calling thread.
void Prefilter(float* c, int width, int height, BSplineDegree degree);

// floor(x) without the library call (positions are far inside the int range), and the
// fraction x - floor(x) in *t: exact in double, the weights need float precision only.
inline int SplitPosition(double x, float* t) {
  int first = static_cast<int>(x);
  if (x < first) --first;
  *t = static_cast<float>(x - first);
  return first;
}

// The four cubic or six quintic weights for a fraction t, written `stride` floats apart,
// so that a loop over many fractions can store them as rows of a table.
inline void CubicWeights(float t, float* w, int stride) {
  const float w3 = t * t * t * (1.0f / 6.0f);
  const float w0 = 1.0f / 6.0f + 0.5f * t * (t - 1.0f) - w3;
  const float w2 = t + w0 - 2.0f * w3;
  w[0] = w0;
  w[stride] = 1.0f - w0 - w2 - w3;
  w[2 * stride] = w2;
  w[3 * stride] = w3;
}

inline void QuinticWeights(float t, float* w, int stride) {
  float a = t;
  float a2 = a * a;
  const float w5 = a * a2 * a2 * (1.0f / 120.0f);
  a2 -= a;
  const float a4 = a2 * a2;
  a -= 0.5f;
  const float s = a2 * (a2 - 3.0f);
  float t0 = (a2 * (a2 - 5.0f) + 46.0f / 5.0f) * (1.0f / 24.0f);
  float t1 = -a * (s + 4.0f) * (1.0f / 12.0f);
  w[0] = (1.0f / 5.0f + a2 + a4) * (1.0f / 24.0f) - w5;
  w[2 * stride] = t0 + t1;
  w[3 * stride] = t0 - t1;
  t0 = (9.0f / 5.0f - s) * (1.0f / 16.0f);
  t1 = a * (a4 - a2 - 5.0f) * (1.0f / 24.0f);
  w[stride] = t0 + t1;
  w[4 * stride] = t0 - t1;
  w[5 * stride] = w5;
}

// The weights of the coefficients first, first+1, ... first+support-1 for the value at x;
// returns first (floor(x) - 1 for the cubic, floor(x) - 2 for the quintic).
inline int BSplineWeights(BSplineDegree degree, double x, float* weights) {
  float t = 0.0f;
  const int first = SplitPosition(x, &t);
  if (degree == BSplineDegree::Cubic) {
    CubicWeights(t, weights, 1);
    return first - 1;
  }
  QuinticWeights(t, weights, 1);
  return first - 2;
}

// Index k of a line of n coefficients reflected into 0..n-1 (mirror about 0 and n-1).
int MirrorIndex(int k, int n);

// The spline's value at (x, y): x along a row, y down the rows.
float SampleBSpline(const BSplineCoefficients& image, double x, double y);

}  // namespace tarvex

#endif
