// What the targets of pralen's TIFF readers share: a quiet start, and the size every image
// they hand over must have (at most kMaxImageSide, 5000 px, a side).
#ifndef FUZZ_FUZZTIFFREADING_H
#define FUZZ_FUZZTIFFREADING_H

#include <tiffio.h>

#include "FuzzProcess.h"
#include "ImagePairFile.h"
#include "TIFFImageReader.h"

// QuietConsole, and libtiff's messages about damaged files silenced: they would fill the log
// (the reader's own messages stay). Call from LLVMFuzzerInitialize.
inline void QuietTiffReading() {
  QuietConsole();
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
}

// A size the image-pair file can hold, and pixels to hold it.
inline bool ImagePairFileSize(const _16BitImage& image) {
  return image.nx >= 1 && image.nx <= kMaxImageSide && image.ny >= 1 && image.ny <= kMaxImageSide &&
         image.data != nullptr;
}

#endif
