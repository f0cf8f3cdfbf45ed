#include "preprocess/BackgroundFile.h"

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "ImagePairFile.h"

namespace tarvex {

Status ReadBackgroundFile(const char* name, int width, int height, BackgroundImage& background) {
  ImagePairFileReader file;
  const std::string prefix = std::string("the background file ") + name;
  switch (file.Open(name)) {
    case ImagePairFileReader::Status::Ok:
      break;
    case ImagePairFileReader::Status::CannotOpen:
      return Status::Failure("cannot open " + prefix);
    default:
      return Status::Failure(prefix + " is not an image-pair file");
  }
  if (file.NumberImages() < 1) {
    return Status::Failure(prefix + " holds no image");
  }
  if (file.Width() != width || file.Height() != height) {
    return Status::Failure(prefix + " holds images of " + std::to_string(file.Width()) + " x " +
                           std::to_string(file.Height()) + " px, the images are " + std::to_string(width) +
                           " x " + std::to_string(height) + " px");
  }
  std::vector<uint16_t> image;
  BackgroundImage b;
  try {
    image.resize(static_cast<size_t>(file.PixelsPerImage()));
    b.sums.resize(image.size());
  } catch (const std::bad_alloc&) {
    return Status::Failure("not enough memory for the background");
  }
  if (file.ReadImage(1, image.data()) != image.size()) {
    return Status::Failure(prefix + " cannot be read whole");
  }
  for (size_t i = 0; i < image.size(); ++i) b.sums[i] = image[i];
  b.width = width;
  b.height = height;
  b.source = BackgroundSource::File;
  b.images = 1;
  b.fileName = name;
  background = std::move(b);
  return Status();
}

}  // namespace tarvex
