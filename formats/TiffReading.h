// libtiff's reading of one TIFF file, its messages watched, and the samples of a directory
// delivered as stored, row by row from strips or tile by tile: the TIFF readers' (the mask
// file, pralen) common part.
//
// Worked example: a 20 x 18 picture in tiles of 16 x 16 gives the runs of tile after tile:
// (bytes, 16, x0 0, y 0) .. (bytes, 16, 0, 15), then (bytes, 4, 16, 0) .. (bytes, 4, 16, 15),
// then rows 16 and 17 likewise. In strips of 2 rows whose second strip holds damaged Deflate
// data the runs stop at row 2: ReadPixelRuns returns false and FirstProblem() begins
// "Decoding error at scanline 2".
#ifndef FORMATS_TIFFREADING_H
#define FORMATS_TIFFREADING_H

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class TiffReading {
 public:
  // Quiet: libtiff prints nothing, its warnings are ignored. Printed: libtiff prints its
  // messages on standard error as it always does, and a warning of a strip that decodes to
  // more bytes than it holds (PackBits) is a problem too.
  enum class Messages { Quiet, Printed };

  TiffReading(const std::string& path, Messages messages);
  ~TiffReading();
  TiffReading(const TiffReading&) = delete;
  TiffReading& operator=(const TiffReading&) = delete;

  // Null when the file could not be opened as a TIFF file.
  TIFF* Tiff() const { return tif_; }
  // Forgets the problems so far (those of opening and reading the directories).
  void ForgetProblems();
  bool HadProblem() const { return problems_ > 0; }
  // The message of the first problem; "" when there was none.
  const std::string& FirstProblem() const { return first_; }

  // Called by libtiff's message handlers.
  void Note(const char* module, const char* format, va_list args, bool error);

 private:
  Messages messages_;
  int problems_ = 0;
  std::string first_;
  TIFF* tif_ = nullptr;
};

// Calls run(bytes, count, x0, y) for every run of pixels of the current directory as libtiff
// decodes them: count pixels of row y from column x0 on, each of samples samples of bits
// bits, packed (from the high bit of a byte down below 8 bits; 16 and 32 bits in host order).
// Stops and returns false when a strip or tile does not decode (error left empty: the
// reading's problem says why), when the strips or tiles are smaller than the image says
// (error says so), or when run returns false.
using PixelRun = std::function<bool(const unsigned char* bytes, uint32_t count, uint32_t x0, uint32_t y)>;
bool ReadPixelRuns(TIFF* tif, uint32_t width, uint32_t height, int samples, int bits, const PixelRun& run,
                   std::string& error);

// Whether the first bytes of a file (at least 4 of them) are a TIFF (or BigTIFF) header.
bool IsTiffSignature(const unsigned char* bytes, size_t count);

#endif
