// Whether a pair of interrogation windows holds particle images or nothing but noise. Once
// the background is gone, a bright static body or a dark corner holds only the camera's noise,
// whose correlation peaks anywhere; such a window must give no vector. Particle images are a
// few pixels wide, so that neighbouring pixels of a window that holds them are alike, while
// noise differs from one pixel to the next: the test is the correlation r of neighbouring
// pixels (along the rows and along the columns), pooled over both windows,
//    r = (C1 + C2) F / ((V1 + V2) N)
// with, for each window, V the sum of the squared deviations of its F flow pixels from their
// mean and C the sum of the products of the deviations of its N pairs of neighbouring flow
// pixels. A window pair holds particle images when r >= kNoiseDeviations / sqrt(2 N): noise
// alone, whose r scatters about 0 with a deviation of 1 / sqrt(2 N), reaches that about
// three times in 100,000 windows. Particle images of 1 to 3 px give r of 0.12 to 0.6; the
// limit is 0.064 for 32 x 32 windows, 0.13 for 16 x 16 and 0.26 for 8 x 8.
//
// Worked example: two 8 x 8 windows each holding one particle image of 2 x 2 pixels of 4
// counts in a corner, on 0: F = 64, mean 0.25, V = 4 x 3.75^2 + 60 x 0.25^2 = 60; of the
// N = 112 pairs 4 lie in the particle (3.75^2 each), 4 across its edge (-3.75 x 0.25) and 104
// outside it (0.25^2): C = 56.25 - 3.75 + 6.5 = 59, and r = 118 x 64 / (120 x 112) = 0.562,
// above 4 / sqrt(224) = 0.267: particle images. Two windows of a checkerboard of 0 and 1 give
// r = -1, and two uniform windows (V = 0) none: neither holds particle images.
#ifndef PARTICLECONTENT_H
#define PARTICLECONTENT_H

#include <cstdint>

namespace tarvex {

// How many deviations of noise the correlation of neighbours must reach.
constexpr double kNoiseDeviations = 4.0;

// A window of nx x ny pixels from (left, top), inside an image of `width` pixels a row.
struct WindowPlace {
  int left;
  int top;
  int nx;
  int ny;
};

struct NeighbourCorrelation {
  double r = 0.0;       // the pooled correlation of neighbours (0 without variance)
  long long pairs = 0;  // neighbouring flow pixel pairs of one window, N
  bool varies = false;  // V1 + V2 > 0
};

// The statistic above for the windows at `place` of both images (flow: one byte per pixel
// of the image, 0 where masked; null: every pixel is flow).
NeighbourCorrelation CorrelateNeighbours(const uint16_t* first, const uint16_t* second, int width,
                                         const WindowPlace& place, const unsigned char* flow);

// Whether the windows at `place` hold particle images (see above).
bool HoldsParticleImages(const uint16_t* first, const uint16_t* second, int width, const WindowPlace& place,
                         const unsigned char* flow);

}  // namespace tarvex

#endif
