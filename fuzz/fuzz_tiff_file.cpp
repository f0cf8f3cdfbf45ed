// pralen's TIFF reader, through libtiff, on any bytes: every decoded picture must have a
// size the image-pair file can hold and grey levels on the 12-bit scale.
#include <cstdint>

#include "FuzzInputFile.h"
#include "FuzzTiffReading.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietTiffReading();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  _16BitImage image;
  const int pixels = ReadTIFFImageToB16(image, file.Write(data, size));
  if (pixels == 0) return 0;
  FuzzCheck(ImagePairFileSize(image) && pixels == image.nx * image.ny, "image size");
  // White, (255 + 255 + 255) * 4096 / 768, is the top of the scale.
  for (int k = 0; k < pixels; ++k) FuzzCheck(image.data[k] <= 4080, "grey level on the 12-bit scale");
  return 0;
}
