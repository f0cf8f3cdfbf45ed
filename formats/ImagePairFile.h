// The image-pair file, the input of the analysis and the output of the converters and of
// pivsynth: a 4-byte header (little-endian 16-bit width, then height) followed by any number
// of images of width * height little-endian 16-bit pixels, row after row. No image count is
// stored; it follows from the file length.
//
// Worked example: 2 images of 3 x 2 px take 4 + 2 * (2 * 3 * 2) = 28 bytes. The header bytes
// are 03 00 02 00; image 2 starts at byte 4 + 12 = 16; pixel (column 1, row 1) of image 2 is
// the value at bytes 16 + 2 * (1 * 3 + 1) = 24 and 25, low byte first. The header bytes
// 01 2C 00 C8 read 0x2C01 = 11265 wide, above 5000, so the header is taken as byte-reversed:
// 0x012C x 0x00C8 = 300 x 200 px.
#ifndef FORMATS_IMAGEPAIRFILE_H
#define FORMATS_IMAGEPAIRFILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "AtomicFile.h"

// Width and height above this value are taken as a byte-reversed header, so no program may
// produce them.
constexpr int kMaxImageSide = 5000;

// Largest pixel count of one image: its byte size must fit a signed 32-bit offset.
constexpr long long kMaxImagePixels = INT32_MAX / 2;

// Pixel count of a w x h image, 0 when a side is negative or the image would be larger
// than kMaxImagePixels.
int32_t ImagePixelCount(long long w, long long h);

// Width and height of a 4-byte header. A side above kMaxImageSide makes the whole header be
// taken as byte-reversed (both sides swapped); `swapped` says so.
struct ImageHeader {
  unsigned width;
  unsigned height;
  bool swapped;
};
ImageHeader DecodeImageHeader(const unsigned char bytes[4]);

// The three lines a reader of an image-pair file prints once it knows the file:
// "\n\nNumber of PIV Images          = N\n" and the image size and byte count.
std::string ImageFileSummary(int images, int width, int height, long long imageBytes);

// Reads an image-pair file. Owns the open file; destroying the reader closes it.
class ImagePairFileReader {
 public:
  enum class Status { Ok, CannotOpen, ShortHeader, EmptyImage, TooLarge };

  ImagePairFileReader() = default;
  ~ImagePairFileReader() { Close(); }
  ImagePairFileReader(const ImagePairFileReader&) = delete;
  ImagePairFileReader& operator=(const ImagePairFileReader&) = delete;

  // Opens the file, reads its header and counts its images. A side above kMaxImageSide in
  // both byte orders is TooLarge. Header() gives the decoded header also on EmptyImage and
  // TooLarge, when the file is closed again.
  Status Open(const char* name);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int32_t PixelsPerImage() const { return pixels_; }
  const ImageHeader& Header() const { return header_; }
  int NumberImages() const { return images_; }

  // Reads image id (from 1) into pixels (PixelsPerImage() values) as host values; returns the
  // number of whole pixels read, fewer than PixelsPerImage() when the file ends early or id
  // is not an image of the file.
  size_t ReadImage(int id, uint16_t* pixels);

 private:
  FILE* file_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int32_t pixels_ = 0;
  ImageHeader header_{0, 0, false};
  int images_ = 0;
};

// Writes an image-pair file. The file appears under its name only when Close() succeeds (see
// AtomicFile); a writer destroyed before that leaves nothing behind. Every operation that
// fails leaves a one-line reason in Error().
class ImagePairFileWriter {
 public:
  // Creates the file (under a temporary name until Close()).
  bool Open(const std::string& name);
  // Writes the header; refuses sides of 0 or above kMaxImageSide.
  bool WriteHeader(long width, long height);
  // Appends count pixel values.
  bool WriteImage(const uint16_t* pixels, size_t count);
  // Completes the file under its name; false when anything could not be written.
  bool Close();
  const std::string& Error() const { return error_; }

 private:
  bool WriteValues(const uint16_t* values, size_t count);
  bool Fail(const std::string& why);

  AtomicFile file_;
  std::string error_;
};

// For the converters: prints on standard error why the output file could not be written
// and returns the exit status of a failed conversion.
int OutputFailure(const ImagePairFileWriter& writer);

#endif
