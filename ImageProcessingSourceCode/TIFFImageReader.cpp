#include "TIFFImageReader.h"

#include <tiffio.h>

#include <cstdio>
#include <iostream>
#include <new>

#include "ConverterReaders.h"
#include "TiffReading.h"

namespace {

// Releases the raster on every path.
struct RGBARaster {
  uint32_t* pixels = nullptr;
  ~RGBARaster() {
    if (pixels != nullptr) _TIFFfree(pixels);
  }
};

}  // namespace

bool _16BitImage::Allocate(int width, int height, const std::string& file) {
  Release();
  const size_t count = static_cast<size_t>(width) * height;
  data = new (std::nothrow) uint16_t[count];
  if (data == nullptr) {
    fprintf(stderr, "\n\nCan't assign %zu bytes of memory for the image of %s ....\n\n", count * sizeof(uint16_t),
            file.c_str());
    return false;
  }
  nx = width;
  ny = height;
  return true;
}

uint16_t GreyLevel(uint32_t rgba) {
  const double sum = TIFFGetR(rgba) + TIFFGetG(rgba) + TIFFGetB(rgba);
  return static_cast<uint16_t>(sum * 4096 / 768);
}

bool ImageFitsThePairFile(const char* kind, const std::string& name, uint32_t width, uint32_t height) {
  // The image-pair file takes a side above 5000 for a byte-reversed header.
  const uint32_t largest = static_cast<uint32_t>(kMaxImageSide);
  if (width > 0 && height > 0 && width <= largest && height <= largest) return true;
  fprintf(stderr, "\n\n%s file %s is %u px x %u px: width and height must be 1 to %d px ....\n\n", kind, name.c_str(),
          width, height, kMaxImageSide);
  return false;
}

bool DecodeRGBAPage(TiffReading& reading, const std::string& name, _16BitImage& image) {
  TIFF* tif = reading.Tiff();
  uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  if (!ImageFitsThePairFile("TIFF", name, width, height)) return false;
  const int nx = static_cast<int>(width), ny = static_cast<int>(height);
  const size_t count = static_cast<size_t>(nx) * ny;

  RGBARaster raster;
  raster.pixels = static_cast<uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(count * sizeof(uint32_t))));
  if (raster.pixels == nullptr) {
    std::cout << "\n\nProblem in assigning raster image memory, bye ..." << std::endl;
    return false;
  }
  // A picture the reader takes is decoded whole or refused: a strip that does not decode
  // would otherwise leave zeros or garbage in the raster.
  char unreadable[1024];
  const bool decodable = TIFFRGBAImageOK(tif, unreadable) != 0;
  reading.ForgetProblems();
  const int read = TIFFReadRGBAImageOriented(tif, width, height, raster.pixels, ORIENTATION_BOTLEFT, decodable);
  if (decodable && (read == 0 || reading.HadProblem())) {
    fprintf(stderr, "\n\nTIFF file %s does not decode: %s ....\n\n", name.c_str(),
            reading.HadProblem() ? reading.FirstProblem().c_str() : "a strip or tile cannot be read");
    return false;
  }
  if (read == 0) {
    std::cout << "\n\nProblem in TIFFReadRGBAImage, bye ..." << std::endl;
    return false;
  }
  if (!image.Allocate(nx, ny, name)) return false;
  for (size_t i = 0; i < count; ++i) image.data[i] = GreyLevel(raster.pixels[i]);
  return true;
}

int ReadTIFFImageToB16(_16BitImage& image, const char* fname) {
  TiffReading reading(fname, TiffReading::Messages::Printed);
  if (reading.Tiff() == nullptr || !DecodeRGBAPage(reading, fname, image)) return 0;
  return image.nx * image.ny;
}
