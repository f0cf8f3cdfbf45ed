#include "BackgroundCall.h"

#include <new>
#include <stdexcept>
#include <string>

namespace tarvex {

BackgroundImage BackgroundOfImages(BackgroundStatistic statistic, const std::vector<const Image16*>& images,
                                   const MaskImage* mask) {
  if (images.empty()) throw std::invalid_argument("a background needs at least one image");
  const int width = images[0]->width, height = images[0]->height;
  SeriesBackground series;
  if (!series.Start(statistic, width, height)) throw std::bad_alloc();
  for (const Image16* image : images) {
    if (image->width != width || image->height != height)
      throw std::invalid_argument("the images of a background must have one size (" + std::to_string(width) +
                                  " x " + std::to_string(height) + " px, then " + std::to_string(image->width) +
                                  " x " + std::to_string(image->height) + " px)");
    series.Add(image->pixels.data());
  }
  return series.Finish(mask != nullptr ? mask->Bytes().data() : nullptr);
}

}  // namespace tarvex
