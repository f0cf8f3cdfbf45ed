// What is done to both images of a pair before any pass, in this order: the background
// subtracted (BackgroundImage), the high-pass (BoxHighPass), the intensity capping
// (IntensityCapping). The pair is processed into a store of its own, so that the images read
// stay as they are; its buffers are made once and reused from pair to pair.
//
// Worked example: with the background 10 10 / 10 10, a high-pass of 3 px and capping, the
// 2 x 2 image 10 30 / 10 10 becomes 0 20 / 0 0 after the background, 0 15 / 0 0 after the
// high-pass (20 less the mean of the four, 5; the others less 5, clamped at 0), and the cap,
// the median 0 plus 2 x 6.495 (the standard deviation of 0 0 0 15) rounded down to 12, leaves
// 0 12 / 0 0. The run's console line says
// "Pre-processing: background from bg.b16, high-pass 3 px, capping at median + 2 sigma".
#ifndef PAIRPREPROCESSING_H
#define PAIRPREPROCESSING_H

#include <cstdint>
#include <string>
#include <vector>

#include "AnalysisSettings.h"
#include "images/PIVImage.h"
#include "preprocess/BackgroundImage.h"
#include "preprocess/BoxHighPass.h"
#include "preprocess/IntensityCapping.h"

namespace tarvex {

class PairPreprocessing {
 public:
  explicit PairPreprocessing(const AnalysisSettings& settings) : settings_(settings) {}

  // The background to subtract from now on; false (nothing changed) when its size is not
  // width x height.
  bool SetBackground(BackgroundImage background, int width, int height);
  bool HasBackground() const { return !background_.sums.empty(); }

  // Copies the pair in `source`'s slots into `into`'s (a store of the same size), processed.
  // flow (null: every pixel is flow) holds one byte per pixel, 0 where masked.
  void Apply(const PIVImage& source, PIVImage& into, const unsigned char* flow);

  // "Pre-processing: ..." and a line break, naming what is applied; empty when nothing is.
  std::string Summary() const;

 private:
  void ApplyToImage(uint16_t* image, const unsigned char* flow, int width, int height);

  AnalysisSettings settings_;
  BackgroundImage background_;
  BoxHighPass highPass_;
  IntensityCapping capping_;
  std::vector<uint16_t> scratch_;  // the image before the high-pass
};

}  // namespace tarvex

#endif
