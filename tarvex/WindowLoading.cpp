#include "WindowLoading.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

template <typename Pixel>
const Pixel* Row(const WindowSource<Pixel>& s, int r) {
  return s.image + static_cast<ptrdiff_t>(s.top + r) * s.width + s.left;
}

// The sum of the scaled pixels, one after another in index order.
template <typename Pixel>
double SequentialSum(const WindowSource<Pixel>& s, int nx, int ny, double inverseScale) {
  double sum = 0.0;
  for (int r = 0; r < ny; ++r) {
    const Pixel* row = Row(s, r);
    for (int c = 0; c < nx; ++c) sum += row[c] * inverseScale;
  }
  return sum;
}

// 65536 pixels of at most 65535 add up to less than 2^32.
constexpr int kPixelsPer32Bits = 65536;

bool IsPowerOfTwo(double v) {
  int exponent = 0;
  return v > 0.0 && std::frexp(v, &exponent) == 0.5;
}

double ScaledSum(const WindowSource<float>& s, int nx, int ny, double inverseScale) {
  return SequentialSum(s, nx, ny, inverseScale);
}

// Pixels scaled by a power of two are exact in double, and so is every partial sum of them
// (below 2^37 pixels of 16 bits): their sum in integers, scaled once, is the same number.
double ScaledSum(const WindowSource<unsigned short>& s, int nx, int ny, double inverseScale) {
  if (!IsPowerOfTwo(inverseScale)) return SequentialSum(s, nx, ny, inverseScale);
  uint64_t total = 0;
  for (int r = 0; r < ny; ++r) {
    const unsigned short* row = Row(s, r);
    for (int c0 = 0; c0 < nx; c0 += kPixelsPer32Bits) {
      const int end = std::min(nx, c0 + kPixelsPer32Bits);
      uint32_t part = 0;
      for (int c = c0; c < end; ++c) part += row[c];
      total += part;
    }
  }
  return static_cast<double>(total) * inverseScale;
}

// The pass that writes both windows; both sums of squares run in index order, side by side.
// Subtracting a mean of 0 leaves every value as it is.
template <bool Weighted, typename Pixel>
WindowNorms WritePair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second, int nx,
                      int ny, double inverseScale, double mean1, double mean2, const float* weight,
                      fftw_real* to1, fftw_real* to2) {
  double squares1 = 0.0, squares2 = 0.0;
  for (int r = 0; r < ny; ++r) {
    const Pixel* row1 = Row(first, r);
    const Pixel* row2 = Row(second, r);
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
      squares1 += v1 * v1;
      squares2 += v2 * v2;
    }
  }
  return {std::sqrt(squares1), std::sqrt(squares2)};
}

}  // namespace

template <typename Pixel>
WindowNorms LoadWindowPair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second,
                           int nx, int ny, const WindowTreatment& t, fftw_real* to1,
                           fftw_real* to2) {
  double mean1 = 0.0, mean2 = 0.0;
  if (t.subtractMean) {
    const double n = static_cast<double>(static_cast<size_t>(nx) * static_cast<size_t>(ny));
    mean1 = ScaledSum(first, nx, ny, t.inverseScale) / n;
    mean2 = ScaledSum(second, nx, ny, t.inverseScale) / n;
  }
  if (t.weight != nullptr)
    return WritePair<true>(first, second, nx, ny, t.inverseScale, mean1, mean2, t.weight, to1, to2);
  return WritePair<false>(first, second, nx, ny, t.inverseScale, mean1, mean2, nullptr, to1, to2);
}

template WindowNorms LoadWindowPair(const WindowSource<unsigned short>&,
                                    const WindowSource<unsigned short>&, int, int,
                                    const WindowTreatment&, fftw_real*, fftw_real*);
template WindowNorms LoadWindowPair(const WindowSource<float>&, const WindowSource<float>&, int,
                                    int, const WindowTreatment&, fftw_real*, fftw_real*);
