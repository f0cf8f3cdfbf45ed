#include "preprocess/BackgroundFile.h"

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "ImagePairFile.h"

namespace tarvex {

bool ReadBackgroundFile(const char* name, int width, int height, BackgroundImage& background, std::string& error) {
  ImagePairFileReader file;
  const std::string prefix = std::string("the background file ") + name;
  switch (file.Open(name)) {
    case ImagePairFileReader::Status::Ok:
      break;
    case ImagePairFileReader::Status::CannotOpen:
      error = "cannot open " + prefix;
      return false;
    default:
      error = prefix + " is not an image-pair file";
      return false;
  }
  if (file.NumberImages() < 1) {
    error = prefix + " holds no image";
    return false;
  }
  if (file.Width() != width || file.Height() != height) {
    error = prefix + " holds images of " + std::to_string(file.Width()) + " x " + std::to_string(file.Height()) +
            " px, the images are " + std::to_string(width) + " x " + std::to_string(height) + " px";
    return false;
  }
  std::vector<uint16_t> image;
  BackgroundImage b;
  try {
    image.resize(static_cast<size_t>(file.PixelsPerImage()));
    b.sums.resize(image.size());
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the background";
    return false;
  }
  if (file.ReadImage(1, image.data()) != image.size()) {
    error = prefix + " cannot be read whole";
    return false;
  }
  for (size_t i = 0; i < image.size(); ++i) b.sums[i] = image[i];
  b.width = width;
  b.height = height;
  b.source = BackgroundSource::File;
  b.images = 1;
  b.fileName = name;
  background = std::move(b);
  return true;
}

}  // namespace tarvex
