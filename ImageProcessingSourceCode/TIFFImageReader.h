// Decoding of one TIFF picture into grey levels on a 12-bit scale (pralen), through libtiff's
// RGBA reader: the first page of a file, or (for pralen -fulldepth) the colour pages.
//
// Worked example: an 8-bit grey pixel 100 is the RGBA value 0xff646464 and becomes grey level
// (100 + 100 + 100) * 4096 / 768 = 1600, 16 times 100; the RGB pixel (1, 1, 0) becomes
// 2 * 4096 / 768 = 10.67, truncated to 10.
#ifndef TIFFIMAGEREADER_H
#define TIFFIMAGEREADER_H

#include <cstdint>
#include <string>

class TiffReading;

// One decoded image. The record owns data (new[]) and releases it when destroyed.
struct _16BitImage {
  int nx = 0;
  int ny = 0;
  uint16_t* data = nullptr;  // nx * ny grey values in the decoded raster's row order

  _16BitImage() = default;
  ~_16BitImage() { Release(); }
  _16BitImage(const _16BitImage&) = delete;
  _16BitImage& operator=(const _16BitImage&) = delete;
  void Release() {
    delete[] data;
    data = nullptr;
  }
  // Room for nx x ny values (their old values gone); false, with a message on standard error
  // naming the file, when the memory cannot be had.
  bool Allocate(int width, int height, const std::string& file);
};

// Grey level of a packed RGBA raster value: (R + G + B) * 4096 / 768, truncated.
uint16_t GreyLevel(uint32_t rgba);

// Whether a picture of width x height px fits the image-pair file (1 to kMaxImageSide px a
// side); says on standard error why not ("\n\nTIFF file a.tif is 5001 px x 1 px: width and
// height must be 1 to 5000 px ....\n\n", kind "TIFF").
bool ImageFitsThePairFile(const char* kind, const std::string& name, uint32_t width, uint32_t height);

// Decodes the current directory of the open file into image, bottom row first; name names
// it in the messages. False, with a message, when its size does not fit, libtiff's reader
// does not take it, or a strip or tile does not decode ("\n\nTIFF file b.tif does not
// decode: Decoding error at scanline 8 ....\n\n" on standard error).
bool DecodeRGBAPage(TiffReading& reading, const std::string& name, _16BitImage& image);

// Decodes the first page of the TIFF file fname into image, bottom row first. Returns
// nx * ny, or 0 when the file cannot be opened or decoded or is wider or taller than the
// image-pair file allows.
int ReadTIFFImageToB16(_16BitImage& image, const char* fname);

#endif
