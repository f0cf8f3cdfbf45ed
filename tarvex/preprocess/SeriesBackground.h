// The background of a series: the minimum or the mean of every pixel over every image, made
// in one pass that holds one image at a time: its reading buffer (2 bytes a pixel) and the
// running minima (2 bytes a pixel) or sums (4 bytes a pixel); the background made at the end
// takes 4 bytes a pixel, and the opening of few images 8 more while it runs. Read in order,
// the file is read ahead by the system while an image is taken, so that the pass goes at the
// disk's speed.
//
// A minimum over few images still holds particle light wherever particles of the images
// overlap (two images of a seeded flow overlap on about a tenth of the pixels); with fewer than
// kFewImages images it is therefore opened with line segments of kOpeningLength pixels (see
// LineOpening), which keeps what is at least that long along the rows or the columns (a glow,
// a band, a row pattern of the sensor) and drops the particle images. From kFewImages images
// on, the minimum is clean and kept as it is, static detail of one or two pixels (a hot
// pixel, a speck of dust) included, which the opening would leave in the images.
//
// Worked example: the images 4 7 / 3 9 and 6 2 / 5 1 (2 x 2 px) have the mean sums
// 10 9 / 8 10 over the divisor 2 (5, 4.5, 4, 5 counts) and the minimum 4 2 / 3 1. Two images
// are few: the minimum is opened, and as no 7-pixel segment fits in a 2 x 2 image it becomes
// 0 0 / 0 0. Eight such images or more keep their minimum as it is.
#ifndef SERIESBACKGROUND_H
#define SERIESBACKGROUND_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "preprocess/BackgroundImage.h"
#include "preprocess/LineOpening.h"
#include "support/Status.h"

namespace tarvex {

// Below this many images a minimum is opened.
constexpr int kFewImages = 8;
// The length of the opening's segments in pixels.
constexpr int kOpeningLength = 7;

enum class BackgroundStatistic { Minimum, Mean };

class SeriesBackground {
 public:
  // Starts over for images of width x height pixels; false when the memory cannot be had.
  bool Start(BackgroundStatistic statistic, int width, int height);
  // Takes one image of the series (width x height pixels, row after row). At most 65535
  // images are taken, which the sums of the mean hold exactly.
  void Add(const uint16_t* image);
  int Images() const { return images_; }
  // The background of the images taken (none: 0 everywhere). flow (null: every pixel is
  // flow) leaves masked pixels out of the opening. The object starts over afterwards.
  BackgroundImage Finish(const unsigned char* flow);

 private:
  BackgroundStatistic statistic_ = BackgroundStatistic::Minimum;
  int width_ = 0;
  int height_ = 0;
  int images_ = 0;
  std::vector<uint16_t> minima_;  // running minima, or
  std::vector<uint32_t> sums_;    // running sums
  LineOpening opening_;
};

// The most images a background is made of: the most a run can address.
constexpr int kMaxBackgroundImages = 65535;

// Reads the images of the image-pair file `name` one after another (at most
// kMaxBackgroundImages) and makes their background; progress(done, total) is called after
// each image. Fails, saying why, when the file cannot be opened, holds no image or an image
// cannot be read whole.
Status EstimateSeriesBackground(const char* name, BackgroundStatistic statistic, const unsigned char* flow,
                                const std::function<void(int done, int total)>& progress,
                                BackgroundImage& background);

}  // namespace tarvex

#endif
