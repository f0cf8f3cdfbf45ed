#include "mask/MaskedWindowLoading.h"

#include <cmath>
#include <cstddef>

namespace tarvex {

namespace {

// Writes one window into `to` with its masked pixels at the mean of its flow pixels, then
// treated as asked; returns the sum of the squares of what it wrote.
template <typename Pixel>
double LoadOne(const WindowSource<Pixel>& s, const WindowSource<unsigned char>& mask, int nx, int ny,
               const WindowTreatment& t, fftw_real* to) {
  double flowSum = 0.0;
  long long flowCount = 0;
  for (int r = 0; r < ny; ++r) {
    const Pixel* row = s.Row(r);
    const unsigned char* flow = mask.Row(r);
    for (int c = 0; c < nx; ++c) {
      if (!flow[c]) continue;
      flowSum += row[c] * t.inverseScale;
      ++flowCount;
    }
  }
  const double fill = flowCount > 0 ? flowSum / static_cast<double>(flowCount) : 0.0;
  // Filled so, the window's mean is the flow mean.
  const double mean = t.subtractMean ? fill : 0.0;
  double squares = 0.0;
  for (int r = 0; r < ny; ++r) {
    const Pixel* row = s.Row(r);
    const unsigned char* flow = mask.Row(r);
    const size_t k0 = static_cast<size_t>(r) * nx;
    for (int c = 0; c < nx; ++c) {
      double v = (flow[c] ? row[c] * t.inverseScale : fill) - mean;
      if (t.weight != nullptr) v *= t.weight[k0 + c];
      to[k0 + c] = v;
      squares += v * v;
    }
  }
  return squares;
}

}  // namespace

template <typename Pixel>
WindowNorms LoadMaskedWindowPair(const WindowSource<Pixel>& first, const WindowSource<Pixel>& second,
                                 const WindowSource<unsigned char>& mask1,
                                 const WindowSource<unsigned char>& mask2, int nx, int ny,
                                 const WindowTreatment& t, fftw_real* to1, fftw_real* to2) {
  const double squares1 = LoadOne(first, mask1, nx, ny, t, to1);
  const double squares2 = LoadOne(second, mask2, nx, ny, t, to2);
  return {std::sqrt(squares1), std::sqrt(squares2)};
}

template WindowNorms LoadMaskedWindowPair(const WindowSource<unsigned short>&,
                                          const WindowSource<unsigned short>&,
                                          const WindowSource<unsigned char>&,
                                          const WindowSource<unsigned char>&, int, int,
                                          const WindowTreatment&, fftw_real*, fftw_real*);
template WindowNorms LoadMaskedWindowPair(const WindowSource<float>&, const WindowSource<float>&,
                                          const WindowSource<unsigned char>&,
                                          const WindowSource<unsigned char>&, int, int,
                                          const WindowTreatment&, fftw_real*, fftw_real*);

}  // namespace tarvex
