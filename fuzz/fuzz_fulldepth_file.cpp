// pralen -fulldepth's reader (TIFF, every page, or PNG, told by content) on any bytes: every
// image it hands over has a size the image-pair file can hold, and pages come in order.
#include <cstdint>

#include "FullDepthImages.h"
#include "FuzzInputFile.h"
#include "FuzzTiffReading.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietTiffReading();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  int expected = 1;
  const ImageSink check = [&expected](const _16BitImage& image, int page) {
    FuzzCheck(page == expected++, "pages in order");
    FuzzCheck(ImagePairFileSize(image), "image size");
    volatile uint16_t last = image.data[static_cast<size_t>(image.nx) * image.ny - 1];  // all of it is there
    (void)last;
    return true;
  };
  ReadFullDepthImages(file.Write(data, size), check);
  return 0;
}
