#include "preprocess/ParticleContent.h"

#include <cmath>
#include <cstddef>

namespace tarvex {

namespace {

// Whole-number sums over one window: exact, so that the outcome is the same everywhere.
struct WindowSums {
  uint64_t sum = 0;       // of the flow pixels
  uint64_t squares = 0;
  uint64_t products = 0;  // over the neighbouring pairs
  uint64_t pairSums = 0;  // of both pixels of every pair
  long long pixels = 0;
  long long pairs = 0;

  // V and C of the header, from the sums.
  double Variance() const {
    if (pixels == 0) return 0.0;
    const double mean = static_cast<double>(sum) / static_cast<double>(pixels);
    return static_cast<double>(squares) - mean * static_cast<double>(sum);
  }
  double Covariance() const {
    if (pixels == 0) return 0.0;
    const double mean = static_cast<double>(sum) / static_cast<double>(pixels);
    return static_cast<double>(products) - mean * static_cast<double>(pairSums) +
           static_cast<double>(pairs) * mean * mean;
  }
};

bool Flow(const unsigned char* flow, size_t at) { return flow == nullptr || flow[at] != 0; }

WindowSums SumWindow(const uint16_t* image, int width, const WindowPlace& p, const unsigned char* flow) {
  WindowSums s;
  const size_t w = static_cast<size_t>(width);
  for (int y = p.top; y < p.top + p.ny; ++y) {
    const size_t row = static_cast<size_t>(y) * w;
    for (int x = p.left; x < p.left + p.nx; ++x) {
      const size_t at = row + static_cast<size_t>(x);
      if (!Flow(flow, at)) continue;
      const uint64_t v = image[at];
      s.sum += v;
      s.squares += v * v;
      s.pixels++;
      if (x + 1 < p.left + p.nx && Flow(flow, at + 1)) {
        s.products += v * image[at + 1];
        s.pairSums += v + image[at + 1];
        s.pairs++;
      }
      if (y + 1 < p.top + p.ny && Flow(flow, at + w)) {
        s.products += v * image[at + w];
        s.pairSums += v + image[at + w];
        s.pairs++;
      }
    }
  }
  return s;
}

}  // namespace

NeighbourCorrelation CorrelateNeighbours(const uint16_t* first, const uint16_t* second, int width,
                                         const WindowPlace& place, const unsigned char* flow) {
  const WindowSums a = SumWindow(first, width, place, flow);
  const WindowSums b = SumWindow(second, width, place, flow);
  NeighbourCorrelation n;
  n.pairs = a.pairs;
  const double variance = a.Variance() + b.Variance();
  n.varies = variance > 0.0;
  if (n.varies && a.pairs > 0)
    n.r = (a.Covariance() + b.Covariance()) * static_cast<double>(a.pixels) /
          (variance * static_cast<double>(a.pairs));
  return n;
}

bool HoldsParticleImages(const uint16_t* first, const uint16_t* second, int width, const WindowPlace& place,
                         const unsigned char* flow) {
  const NeighbourCorrelation n = CorrelateNeighbours(first, second, width, place, flow);
  return n.varies && n.pairs > 0 && n.r >= kNoiseDeviations / std::sqrt(2.0 * static_cast<double>(n.pairs));
}

}  // namespace tarvex
