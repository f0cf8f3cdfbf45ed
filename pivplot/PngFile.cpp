#include "PngFile.h"

#include <png.h>

#include <cstring>

bool EncodePng(const Raster& raster, std::string& png, std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(raster.Width());
  image.height = static_cast<png_uint_32>(raster.Height());
  image.format = PNG_FORMAT_RGB;
  const png_int_32 stride = raster.Width() * 3;
  png_alloc_size_t size = 0;
  // The first call only measures.
  if (png_image_write_to_memory(&image, nullptr, &size, 0, raster.Bytes().data(), stride, nullptr)) {
    png.resize(size);
    if (png_image_write_to_memory(&image, png.data(), &size, 0, raster.Bytes().data(), stride, nullptr)) {
      png.resize(size);
      return true;
    }
  }
  error = std::string("cannot encode the PNG picture: ") + image.message;
  png_image_free(&image);
  return false;
}
