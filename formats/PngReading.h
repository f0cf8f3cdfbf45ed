// libpng's reading of one PNG file, its errors turned into return values and a message, its
// warnings ignored: the PNG readers' (the mask file, pralen -fulldepth) common part.
//
// Worked example: a 3 x 2 16-bit grey PNG reads as ReadHeader(file), Width() 3, Height() 2,
// then Decode(nullptr, &rows) gives rows.channels 1, rows.depth 16, rows.row_bytes 6, and
// ReadImage fills two rows of 6 bytes, each sample high byte first. A file cut inside its
// image data gives false from ReadImage with Error() "Read Error"; one whose image data
// have a wrong CRC, "IDAT: CRC error".
#ifndef FORMATS_PNGREADING_H
#define FORMATS_PNGREADING_H

#include <png.h>

#include <cstdio>
#include <string>

// What signature libpng's errors leave in the reading (they must not return).
struct PngErrorText {
  char text[256];
};

// The rows as ReadImage delivers them after the transforms asked for.
struct PngRows {
  int channels = 0;
  int depth = 0;  // bits of a sample
  size_t row_bytes = 0;
};

// Owns libpng's read structures. Each step returns false, with Error(), on a damaged file.
class PngReading {
 public:
  PngReading();
  ~PngReading();
  PngReading(const PngReading&) = delete;
  PngReading& operator=(const PngReading&) = delete;

  // False when libpng's structures could not be had (no memory).
  bool Ok() const { return png_ != nullptr && info_ != nullptr; }
  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }
  std::string Error() const { return error_.text; }

  // Reads the signature and the chunks up to the image data from file (at its start).
  bool ReadHeader(FILE* file);
  png_uint_32 Width() const;
  png_uint_32 Height() const;
  // Applies transforms (may be null) to the reading, asks for interlaced images as whole
  // rows, and gives the layout of the rows they make.
  bool Decode(void (*transforms)(png_structp, png_infop), PngRows* rows);
  // Decodes every row into rows[0 .. Height()-1] (each rows->row_bytes long), and the chunks
  // after them up to the end, checking their CRCs.
  bool ReadImage(png_bytepp rows);

 private:
  PngErrorText error_{};
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// Whether the first bytes of a file (at least 8 of them) are a PNG signature.
bool IsPngSignature(const unsigned char* bytes, size_t count);

#endif
