// A static background of the images (the light of the camera, the walls and the sheet that
// stays from one image to the next), held as whole-number sums and one divisor: the
// background of a pixel is sums[pixel] / divisor counts. A minimum or an image of a file has
// divisor 1, a mean the number of images. Subtracting it rounds half up and clamps at 0 in
// whole numbers, so that every machine, thread and rank gets the same bits.
//
// Worked example: the mean of three images whose pixel holds 10, 11 and 13 counts is the sum
// 34 over the divisor 3, 11.333 counts. Subtracted from 15 it leaves 3.667, rounded to 4; from
// 12, 0.667, rounded to 1; from 11, -0.333, rounded to 0; from 10, -1.333, clamped to 0. The
// minimum of the same images is the sum 10 over the divisor 1: 15 becomes 5 and 11 becomes 1.
#ifndef BACKGROUNDIMAGE_H
#define BACKGROUNDIMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

// How the background was made, for the run's console line.
enum class BackgroundSource { Minimum, Mean, File };

struct BackgroundImage {
  int width = 0;
  int height = 0;
  uint32_t divisor = 1;
  std::vector<uint32_t> sums;  // width * height, row after row

  BackgroundSource source = BackgroundSource::Minimum;
  int images = 0;         // the images it was made from
  int openedLength = 0;   // the line opening a minimum of few images went through (0: none)
  std::string fileName;   // BackgroundSource::File: the file it was read from

  size_t Pixels() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
};

// out[i] = max(0, in[i] - sums[i] / divisor), rounded half up, for the background's pixels;
// in and out may be the same buffer.
void SubtractBackground(const BackgroundImage& background, const uint16_t* in, uint16_t* out);

}  // namespace tarvex

#endif
