// Decoding of one TIFF picture into grey levels on a 12-bit scale (pralen).
#ifndef TIFFIMAGEREADER_H
#define TIFFIMAGEREADER_H

#include <cstdint>

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
};

// Grey level of a packed RGBA raster value: (R + G + B) * 4096 / 768, truncated.
uint16_t GreyLevel(uint32_t rgba);

// Decodes the TIFF file fname into image, bottom row first. Returns nx * ny, or 0 when the
// file cannot be opened or decoded or is wider or taller than the image-pair file allows.
int ReadTIFFImageToB16(_16BitImage& image, const char* fname);

#endif
