#include "deform/BSplineImage.h"

#include <cmath>

namespace tarvex {

namespace {

// Poles of the B-spline prefilters (the roots inside the unit circle of the spline's
// sampled kernel); the quintic has two.
struct Poles {
  double z[2];
  int count;
};

Poles PolesOf(BSplineDegree degree) {
  if (degree == BSplineDegree::Cubic) return {{std::sqrt(3.0) - 2.0, 0.0}, 1};
  return {{std::sqrt(135.0 / 2.0 - std::sqrt(17745.0 / 4.0)) + std::sqrt(105.0 / 4.0) - 13.0 / 2.0,
           std::sqrt(135.0 / 2.0 + std::sqrt(17745.0 / 4.0)) - std::sqrt(105.0 / 4.0) - 13.0 / 2.0},
          2};
}

// Terms of the causal start sum smaller than this (relative) are left out: below the
// precision of the float coefficients.
constexpr double kHorizonTolerance = 1e-8;

// A line of n elements of which each is a vector of m floats `lane` apart, element k at
// data + k * step: all columns at once (m = width, lane 1, step = width), so that the
// column pass runs along memory in vector registers; or up to kRowBlock rows at once
// (lane = width, step = 1), so that the recursions of several rows overlap instead of
// each waiting for its previous element. Every float sees the same operations either way.
struct Lines {
  float* data;
  int n;
  ptrdiff_t step;
  int m;
  ptrdiff_t lane;
  float* at(int k) const { return data + static_cast<ptrdiff_t>(k) * step; }
};

// Rows filtered together.
constexpr int kRowBlock = 8;

// The distance between the floats of an element: a constant 1 where they are contiguous,
// so that the compiler vectorises those loops.
template <bool kContiguous>
ptrdiff_t Lane(const Lines& l) {
  return kContiguous ? 1 : l.lane;
}

// a += f * b over the m floats of an element.
template <bool kContiguous>
void AddScaled(const Lines& l, float* a, const float* b, double f) {
  const ptrdiff_t lane = Lane<kContiguous>(l);
  const float ff = static_cast<float>(f);
  for (int i = 0; i < l.m; ++i) a[i * lane] += ff * b[i * lane];
}

// Element 0 becomes the causal filter's start value sum_k z^|k| s[k] over the mirrored line.
template <bool kContiguous>
void CausalStart(const Lines& l, double z) {
  const int horizon = static_cast<int>(std::ceil(std::log(kHorizonTolerance) / std::log(std::fabs(z))));
  float* c0 = l.at(0);
  if (horizon < l.n) {
    double zn = z;
    for (int k = 1; k < horizon; ++k, zn *= z) AddScaled<kContiguous>(l, c0, l.at(k), zn);
    return;
  }
  // A short line: the exact sum over the whole period 2n - 2 of the mirrored line.
  const int n = l.n;
  double zn = z;
  double z2n = std::pow(z, n - 1);
  const double iz = 1.0 / z;
  AddScaled<kContiguous>(l, c0, l.at(n - 1), z2n);
  z2n *= z2n * iz;
  for (int k = 1; k <= n - 2; ++k) {
    AddScaled<kContiguous>(l, c0, l.at(k), zn + z2n);
    zn *= z;
    z2n *= iz;
  }
  const ptrdiff_t lane = Lane<kContiguous>(l);
  const float scale = static_cast<float>(1.0 / (1.0 - zn * zn));
  for (int i = 0; i < l.m; ++i) c0[i * lane] *= scale;
}

template <bool kContiguous>
void FilterLines(const Lines& l, BSplineDegree degree) {
  if (l.n < 2) return;  // a single sample is its own coefficient
  const ptrdiff_t lane = Lane<kContiguous>(l);
  const Poles poles = PolesOf(degree);
  double gain = 1.0;
  for (int p = 0; p < poles.count; ++p) gain *= (1.0 - poles.z[p]) * (1.0 - 1.0 / poles.z[p]);
  const float g = static_cast<float>(gain);
  for (int k = 0; k < l.n; ++k) {
    float* e = l.at(k);
    for (int i = 0; i < l.m; ++i) e[i * lane] *= g;
  }
  for (int p = 0; p < poles.count; ++p) {
    const double z = poles.z[p];
    const float zf = static_cast<float>(z);
    CausalStart<kContiguous>(l, z);
    for (int k = 1; k < l.n; ++k) AddScaled<kContiguous>(l, l.at(k), l.at(k - 1), z);
    // Anticausal start from the mirror boundary at n - 1.
    float* last = l.at(l.n - 1);
    const float* before = l.at(l.n - 2);
    const float f = static_cast<float>(z / (z * z - 1.0));
    for (int i = 0; i < l.m; ++i) last[i * lane] = f * (zf * before[i * lane] + last[i * lane]);
    for (int k = l.n - 2; k >= 0; --k) {
      float* e = l.at(k);
      const float* next = l.at(k + 1);
      for (int i = 0; i < l.m; ++i) e[i * lane] = zf * (next[i * lane] - e[i * lane]);
    }
  }
}

}  // namespace

void PrefilterRows(float* c, int width, int rowBegin, int rowEnd, BSplineDegree degree) {
  for (int r = rowBegin; r < rowEnd; r += kRowBlock) {
    const int rows = rowEnd - r < kRowBlock ? rowEnd - r : kRowBlock;
    FilterLines<false>({c + static_cast<ptrdiff_t>(r) * width, width, 1, rows, width}, degree);
  }
}

void PrefilterImageRows(const unsigned short* pixels, int width, int rowBegin, int rowEnd,
                        BSplineDegree degree, float* out) {
  const ptrdiff_t begin = static_cast<ptrdiff_t>(rowBegin) * width;
  const ptrdiff_t end = static_cast<ptrdiff_t>(rowEnd) * width;
  for (ptrdiff_t k = begin; k < end; ++k) out[k] = pixels[k];
  PrefilterRows(out, width, rowBegin, rowEnd, degree);
}

void PrefilterColumns(float* c, int width, int height, int columnBegin, int columnEnd,
                      BSplineDegree degree) {
  if (columnEnd <= columnBegin) return;
  FilterLines<true>({c + columnBegin, height, width, columnEnd - columnBegin, 1}, degree);
}

void Prefilter(float* c, int width, int height, BSplineDegree degree) {
  PrefilterRows(c, width, 0, height, degree);
  PrefilterColumns(c, width, height, 0, width, degree);
}

int MirrorIndex(int k, int n) {
  if (n < 2) return 0;
  const int period = 2 * n - 2;
  k %= period;
  if (k < 0) k += period;
  return k < n ? k : period - k;
}

float SampleBSpline(const BSplineCoefficients& image, double x, double y) {
  float wx[kMaxBSplineSupport], wy[kMaxBSplineSupport];
  const int support = BSplineSupport(image.degree);
  const int x0 = BSplineWeights(image.degree, x, wx);
  const int y0 = BSplineWeights(image.degree, y, wy);
  float sum = 0.0f;
  for (int j = 0; j < support; ++j) {
    const float* row = image.c + static_cast<ptrdiff_t>(MirrorIndex(y0 + j, image.height)) * image.width;
    float rowSum = 0.0f;
    for (int i = 0; i < support; ++i) rowSum += wx[i] * row[MirrorIndex(x0 + i, image.width)];
    sum += wy[j] * rowSum;
  }
  return sum;
}

}  // namespace tarvex
