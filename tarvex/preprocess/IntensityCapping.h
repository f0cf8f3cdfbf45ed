// Intensity capping: an image clipped at the median of its flow pixels plus kCapDeviations
// times their standard deviation, so that a few bright particles or a reflection no longer
// outweigh the other particle images of a window.
//
// Why 2: on a pair where one particle in twenty is twelve times brighter than the others
// (docs/camera-images.md, table 5), the single pass with mean subtraction goes from 2.7 px RMS
// (12 % outliers) to 0.105 px with a cap at 2 standard deviations (in a trial, 0.099 and 0.097
// px at 1 and 1.5, 0.131 px at 3); on an ordinary pair a cap at 2 costs 0.102 against 0.080 px
// without, one at 1 0.122 px. The deformation passes, robust to bright particles already, lose
// a little either way.
//
// Worked example: the flow pixels 0 0 0 0 0 0 12 36 (8 pixels) have the median 0 (the 4th
// smallest of 8), the mean 6 and the standard deviation sqrt(1440/8 - 36) = 12; the cap is
// 0 + 2 x 12 = 24, and the 36 becomes 24.
#ifndef INTENSITYCAPPING_H
#define INTENSITYCAPPING_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

constexpr double kCapDeviations = 2.0;

class IntensityCapping {
 public:
  // Clips image (`pixels` values) in place at the cap of its flow pixels (flow: one byte per
  // pixel, 0 where masked; null: every pixel is flow) and returns the cap: the median (the
  // (n + 1) / 2-th smallest of n, rounded down) plus kCapDeviations standard deviations,
  // rounded down. An image without flow pixels is left as it is (65535).
  uint16_t Apply(uint16_t* image, const unsigned char* flow, size_t pixels);

 private:
  std::vector<uint32_t> histogram_;  // the count of every value, made on the first call
};

}  // namespace tarvex

#endif
