// A background given as a file: the first image of an image-pair file, subtracted as it is.
//
// Worked example: for 256 x 256 images, an image-pair file of 3 images of 256 x 256 px gives its
// first image (divisor 1); one of 128 x 128 px is refused ("the background file bg.b16 holds
// images of 128 x 128 px, the images are 256 x 256 px").
#ifndef BACKGROUNDFILE_H
#define BACKGROUNDFILE_H

#include <string>

#include "preprocess/BackgroundImage.h"
#include "support/Status.h"

namespace tarvex {

// Reads the first image of the image-pair file `name` as the background of images of width x
// height pixels. Fails, saying why, when the file cannot be read, holds no image or images of
// another size.
Status ReadBackgroundFile(const char* name, int width, int height, BackgroundImage& background);

}  // namespace tarvex

#endif
