// The image-pair file reader on any bytes: opening, counting and reading every image, and
// the image after the last one.
#include <cstdint>
#include <memory>

#include "FuzzInputFile.h"
#include "FuzzProcess.h"
#include "ImagePairFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  ImagePairFileReader reader;
  if (reader.Open(file.Write(data, size)) != ImagePairFileReader::Status::Ok) return 0;
  const int width = reader.Width(), height = reader.Height(), images = reader.NumberImages();
  FuzzCheck(width >= 1 && width <= kMaxImageSide && height >= 1 && height <= kMaxImageSide, "image size");
  const size_t pixels = static_cast<size_t>(reader.PixelsPerImage());
  FuzzCheck(pixels == static_cast<size_t>(width) * height, "pixels per image");
  FuzzCheck(images >= 0 && 4 + 2 * pixels * static_cast<size_t>(images) <= size, "image count");

  std::unique_ptr<uint16_t[]> image(new uint16_t[pixels]);
  // Ids 0 and images + 1 lie outside the file; every id between reads whole.
  for (int id = 0; id <= images + 1; ++id) {
    const bool inside = id >= 1 && id <= images;
    FuzzCheck((reader.ReadImage(id, image.get()) == pixels) == inside, "whole images read");
  }
  return 0;
}
