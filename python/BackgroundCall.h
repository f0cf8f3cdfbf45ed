// The background of images held in memory, made as tarvex -bg min or -bg mean makes it over the
// images of its image-pair file (see SeriesBackground): the same sums, the same opening of a
// minimum of fewer than eight images.
//
// Worked example: the two 2 x 2 images 4 7 / 3 9 and 6 2 / 5 1 have the mean 5 4.5 / 4 5 (the
// sums 10 9 / 8 10 over the divisor 2); their minimum 4 2 / 3 1, two images being few, is
// opened, and no 7-pixel segment fits in 2 x 2 pixels: 0 0 / 0 0.
#ifndef PYTHON_BACKGROUNDCALL_H
#define PYTHON_BACKGROUNDCALL_H

#include <vector>

#include "ImageArrays.h"
#include "MaskImage.h"
#include "preprocess/BackgroundImage.h"
#include "preprocess/SeriesBackground.h"

namespace tarvex {

// The background of `images` (at least one, all of one size; at most 65535 are taken). mask
// (null: none) of the images' size leaves masked pixels out of the opening. Throws
// std::invalid_argument for no image or images of different sizes, std::bad_alloc when the
// memory cannot be had.
BackgroundImage BackgroundOfImages(BackgroundStatistic statistic, const std::vector<const Image16*>& images,
                                   const MaskImage* mask);

}  // namespace tarvex

#endif
