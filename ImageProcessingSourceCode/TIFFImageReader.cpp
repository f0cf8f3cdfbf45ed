#include "TIFFImageReader.h"

#include <tiffio.h>

#include <cstdio>
#include <iostream>
#include <new>

#include "ConverterReaders.h"

namespace {

// Releases the handle and the raster on every path (the raster before the handle).
struct OpenTIFF {
  TIFF* tif = nullptr;
  ~OpenTIFF() {
    if (tif != nullptr) TIFFClose(tif);
  }
};
struct RGBARaster {
  uint32_t* pixels = nullptr;
  ~RGBARaster() {
    if (pixels != nullptr) _TIFFfree(pixels);
  }
};

}  // namespace

uint16_t GreyLevel(uint32_t rgba) {
  const double sum = TIFFGetR(rgba) + TIFFGetG(rgba) + TIFFGetB(rgba);
  return static_cast<uint16_t>(sum * 4096 / 768);
}

int ReadTIFFImageToB16(_16BitImage& image, const char* fname) {
  OpenTIFF file;
  file.tif = TIFFOpen(fname, "r");
  if (file.tif == nullptr) return 0;
  uint32_t width = 0, height = 0;
  TIFFGetField(file.tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(file.tif, TIFFTAG_IMAGELENGTH, &height);
  // The image-pair file takes a side above 5000 for a byte-reversed header.
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
    fprintf(stderr, "\n\nTIFF file %s is %u px x %u px: width and height must be 1 to %d px ....\n\n",
            fname, width, height, kMaxImageSide);
    return 0;
  }
  const int nx = static_cast<int>(width), ny = static_cast<int>(height);
  const size_t count = static_cast<size_t>(nx) * ny;

  RGBARaster raster;
  raster.pixels = static_cast<uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(count * sizeof(uint32_t))));
  if (raster.pixels == nullptr) {
    std::cout << "\n\nProblem in assigning raster image memory, bye ..." << std::endl;
    return 0;
  }
  if (TIFFReadRGBAImage(file.tif, width, height, raster.pixels, 0) == 0) {
    std::cout << "\n\nProblem in TIFFReadRGBAImage, bye ..." << std::endl;
    return 0;
  }
  image.Release();
  image.data = new (std::nothrow) uint16_t[count];
  if (image.data == nullptr) {
    fprintf(stderr, "\n\nCan't assign %zu bytes of memory for the image of %s ....\n\n",
            count * sizeof(uint16_t), fname);
    return 0;
  }
  image.nx = nx;
  image.ny = ny;
  for (size_t i = 0; i < count; ++i) image.data[i] = GreyLevel(raster.pixels[i]);
  return nx * ny;
}
