// The high-pass of an image: each pixel less the mean of the K x K pixels around it (a box),
// rounded half up and clamped at 0, which takes out what varies slowly across the image (a
// glow, the light sheet's profile) and keeps the particle images. The mean is that of the
// box's pixels that lie in the image and in the flow, so the border and a mask need nothing of
// their own, and it is summed in whole numbers: the result is the same on every machine, and
// costs four additions a pixel whatever K.
//
// A box rather than a Gaussian: on the glow-and-band pair of docs/camera-images.md a Gaussian of
// the same variance leaves 7 to 14 % less error, but it costs K multiplications a pixel and its
// floating-point sums depend on their order; the box is exact and cheap at any size.
//
// Worked example, K = 3, the 4 x 3 image
//    0  0  0  0
//    0  9  0  0
//    0  0  0 30
// Pixel (1, 1) less the mean of the nine around it, 9 - 9/9 = 8; pixel (3, 2), a corner, less
// the mean of its four, 30 - 30/4 = 22.5, rounded to 23; pixel (2, 1) 0 - 39/9, clamped to 0.
// With pixel (2, 2) masked, pixel (3, 2) takes the mean of its three others: 30 - 10 = 20.
#ifndef BOXHIGHPASS_H
#define BOXHIGHPASS_H

#include <cstdint>
#include <vector>

namespace tarvex {

// The box sizes a high-pass takes: odd, from 3 to 999 pixels.
constexpr int kMinHighPassSize = 3;
constexpr int kMaxHighPassSize = 999;
bool UsableHighPassSize(int size);

class BoxHighPass {
 public:
  // Filters image (width x height, row after row) into out (another buffer) with boxes of
  // size x size pixels (a usable size). flow (null: every pixel is flow) holds one byte per
  // pixel, 0 where the pixel is masked: masked pixels add nothing to a mean and are written
  // as 0. The running sums are sized on the first call and kept.
  void Apply(const uint16_t* image, const unsigned char* flow, int width, int height, int size, uint16_t* out);

 private:
  std::vector<uint64_t> columnSums_;    // each column's flow pixels over the box's rows
  std::vector<uint32_t> columnCounts_;  // and their number
};

}  // namespace tarvex

#endif
