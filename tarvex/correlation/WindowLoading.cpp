#include "correlation/WindowLoading.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarvex {

namespace {

// The sum of the scaled pixels, one after another in index order.
template <typename Pixel>
double SequentialSum(const WindowSource<Pixel>& s, int nx, int ny, double inverseScale) {
  double sum = 0.0;
  for (int r = 0; r < ny; ++r) {
    const Pixel* row = s.Row(r);
    for (int c = 0; c < nx; ++c) sum += row[c] * inverseScale;
  }
  return sum;
}

// The quantum of values whose sums may run in any fixed order (see Norms).
constexpr double kAnyOrder = -1.0;

// 65536 pixels of at most 65535 add up to less than 2^32.
constexpr int kPixelsPer32Bits = 65536;

bool IsPowerOfTwo(double v) {
  int exponent = 0;
  return v > 0.0 && std::frexp(v, &exponent) == 0.5;
}

typedef double DoubleLanes __attribute__((vector_size(2 * sizeof(double))));

// Deformed (float) windows have no older result to reproduce: their sums run in two pairs
// of lanes, in a fixed order, so the bits are the same on every run and thread.
double ScaledSum(const WindowSource<float>& s, int nx, int ny, double inverseScale) {
  DoubleLanes s0 = {0.0, 0.0}, s1 = {0.0, 0.0};
  double tail = 0.0;
  for (int r = 0; r < ny; ++r) {
    const float* row = s.Row(r);
    int c = 0;
    for (; c + 4 <= nx; c += 4) {
      const DoubleLanes x0 = {row[c], row[c + 1]};
      const DoubleLanes x1 = {row[c + 2], row[c + 3]};
      s0 += x0;
      s1 += x1;
    }
    for (; c < nx; ++c) tail += row[c];
  }
  return ((s0[0] + s0[1]) + (s1[0] + s1[1]) + tail) * inverseScale;
}

// Pixels scaled by a power of two are exact in double, and so is every partial sum of them
// (below 2^37 pixels of 16 bits): their sum in integers, scaled once, is the same number.
double ScaledSum(const WindowSource<unsigned short>& s, int nx, int ny, double inverseScale) {
  if (!IsPowerOfTwo(inverseScale)) return SequentialSum(s, nx, ny, inverseScale);
  uint64_t total = 0;
  for (int r = 0; r < ny; ++r) {
    const unsigned short* row = s.Row(r);
    for (int c0 = 0; c0 < nx; c0 += kPixelsPer32Bits) {
      const int end = std::min(nx, c0 + kPixelsPer32Bits);
      uint32_t part = 0;
      for (int c = c0; c < end; ++c) part += row[c];
      total += part;
    }
  }
  return static_cast<double>(total) * inverseScale;
}

// The pass that writes both windows. Subtracting a mean of 0 leaves every value as it is.
template <bool Weighted, typename Pixel>
void WritePair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second, int nx,
               int ny, double inverseScale, double mean1, double mean2, const float* weight,
               fftw_real* to1, fftw_real* to2) {
  for (int r = 0; r < ny; ++r) {
    const Pixel* row1 = first.Row(r);
    const Pixel* row2 = second.Row(r);
    const size_t k0 = static_cast<size_t>(r) * nx;
    for (int c = 0; c < nx; ++c) {
      double v1 = row1[c] * inverseScale - mean1;
      double v2 = row2[c] * inverseScale - mean2;
      if (Weighted) {
        v1 *= weight[k0 + c];
        v2 *= weight[k0 + c];
      }
      to1[k0 + c] = v1;
      to2[k0 + c] = v2;
    }
  }
}

// The spacing of the values a window of 16-bit pixels is loaded as, when they are whole
// multiples of one (0 otherwise): the scaled pixels are, for a power of two as the scale,
// and so are the pixels less their mean when the window's size is a power of two too (the
// mean then is exact, and so is every difference).
double Quantum(const WindowSource<unsigned short>&, size_t n, const WindowTreatment& t) {
  if (t.weight != nullptr || !IsPowerOfTwo(t.inverseScale)) return 0.0;
  if (!t.subtractMean) return t.inverseScale;
  return IsPowerOfTwo(static_cast<double>(n)) ? t.inverseScale / static_cast<double>(n) : 0.0;
}

// Deformed windows are summed in lanes whatever their values (see ScaledSum above).
double Quantum(const WindowSource<float>&, size_t, const WindowTreatment&) { return kAnyOrder; }

// The sum of the squares of a[0..n-1] in no particular order: two pairs of lanes at a time.
double SquaresInAnyOrder(const fftw_real* a, size_t n) {
  DoubleLanes s0 = {0.0, 0.0}, s1 = {0.0, 0.0};
  size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    DoubleLanes x0, x1;
    memcpy(&x0, a + k, sizeof x0);
    memcpy(&x1, a + k + 2, sizeof x1);
    s0 += x0 * x0;
    s1 += x1 * x1;
  }
  double sum = (s0[0] + s0[1]) + (s1[0] + s1[1]);
  for (; k < n; ++k) sum += a[k] * a[k];
  return sum;
}

// The norms as summing the squares one after another in index order gives them. Values that
// are whole multiples of a quantum q have exact squares, and every partial sum of those is
// exact while the whole sum stays below 2^53 q^2: then the order does not matter, and the
// sums run in lanes side by side. A sum at or above that bound (rounding never takes a sum
// below it) is summed again in order.
WindowNorms Norms(const fftw_real* a, const fftw_real* b, size_t n, double quantum) {
  if (quantum == kAnyOrder) return {std::sqrt(SquaresInAnyOrder(a, n)), std::sqrt(SquaresInAnyOrder(b, n))};
  if (quantum > 0.0) {
    const double bound = 0x1p53 * quantum * quantum;
    const double squaresA = SquaresInAnyOrder(a, n);
    const double squaresB = SquaresInAnyOrder(b, n);
    if (squaresA < bound && squaresB < bound) return {std::sqrt(squaresA), std::sqrt(squaresB)};
  }
  double squaresA = 0.0, squaresB = 0.0;
  for (size_t k = 0; k < n; ++k) {
    squaresA += a[k] * a[k];
    squaresB += b[k] * b[k];
  }
  return {std::sqrt(squaresA), std::sqrt(squaresB)};
}

}  // namespace

template <typename Pixel>
WindowNorms LoadWindowPair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second,
                           int nx, int ny, const WindowTreatment& t, fftw_real* to1,
                           fftw_real* to2) {
  const size_t n = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  double mean1 = 0.0, mean2 = 0.0;
  if (t.subtractMean) {
    mean1 = ScaledSum(first, nx, ny, t.inverseScale) / static_cast<double>(n);
    mean2 = ScaledSum(second, nx, ny, t.inverseScale) / static_cast<double>(n);
  }
  if (t.weight != nullptr)
    WritePair<true>(first, second, nx, ny, t.inverseScale, mean1, mean2, t.weight, to1, to2);
  else
    WritePair<false>(first, second, nx, ny, t.inverseScale, mean1, mean2, nullptr, to1, to2);
  return Norms(to1, to2, n, Quantum(first, n, t));
}

template WindowNorms LoadWindowPair(const WindowSource<unsigned short>&,
                                    const WindowSource<unsigned short>&, int, int,
                                    const WindowTreatment&, fftw_real*, fftw_real*);
template WindowNorms LoadWindowPair(const WindowSource<float>&, const WindowSource<float>&, int,
                                    int, const WindowTreatment&, fftw_real*, fftw_real*);

}  // namespace tarvex
