#include "images/ImageReadAhead.h"

#include <new>

namespace tarvex {

ImageReadAhead::~ImageReadAhead() {
  Wait();
  Release();
}

void ImageReadAhead::Wait() {
  // The reading only fills buffers and counts; it throws nothing worth handing on.
  try {
    reader_.Wait();
  } catch (...) {
    for (Image& image : images_) image.id = 0;
  }
}

void ImageReadAhead::Release() {
  for (Image& image : images_) {
    delete[] image.pixels;
    image = Image();
  }
  pixels_ = 0;
}

bool ImageReadAhead::Reserve(long long pixels) {
  if (pixels == pixels_ && images_[0].pixels != nullptr && images_[1].pixels != nullptr) return true;
  Release();
  for (Image& image : images_) {
    image.pixels = new (std::nothrow) unsigned short[static_cast<size_t>(pixels)];
    if (image.pixels == nullptr) {
      Release();
      return false;
    }
  }
  pixels_ = pixels;
  return true;
}

bool ImageReadAhead::Open(const char* filename, long long pixels) {
  if (!file_.IsOpen() || name_ != filename) {
    name_ = filename;
    if (file_.Open(filename) != ImagePairFileReader::Status::Ok) return false;
  }
  // Checked on every start: the file kept open may hold images of another size than the
  // buffers the caller asks for now.
  return file_.PixelsPerImage() == pixels;
}

bool ImageReadAhead::Start(const char* filename, long long pixels, int first, int second) {
  Wait();
  for (Image& image : images_) image.id = 0;
  if (pixels <= 0 || !Reserve(pixels) || !Open(filename, pixels)) return false;
  images_[0].id = first;
  images_[1].id = second;
  reader_.Start([this] {
    for (Image& image : images_) image.read = file_.ReadImage(image.id, image.pixels);
  });
  return true;
}

size_t ImageReadAhead::Take(int id, unsigned short*& slot) {
  Wait();
  for (Image& image : images_) {
    if (image.id != id || id == 0) continue;
    unsigned short* old = slot;
    slot = image.pixels;
    image.pixels = old;
    image.id = 0;
    return image.read;
  }
  return kNotRead;
}

}  // namespace tarvex
