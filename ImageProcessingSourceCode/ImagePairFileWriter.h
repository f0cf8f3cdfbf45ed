// Writing of the image-pair file that tarvex reads: a little-endian 16-bit width and
// height, then the images one after the other as little-endian 16-bit values. Shared by
// the converters and the synthetic image generator.
#ifndef IMAGEPAIRFILEWRITER_H
#define IMAGEPAIRFILEWRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Width and height above this are taken as a byte-reversed header by the image-pair
// reader, so no program may produce them.
constexpr int kMaxImageSide = 5000;

// Owns the output file; destroying the writer closes it. Every operation that fails
// leaves a one-line reason in Error().
class ImagePairFileWriter {
 public:
  ImagePairFileWriter() = default;
  ~ImagePairFileWriter();
  ImagePairFileWriter(const ImagePairFileWriter&) = delete;
  ImagePairFileWriter& operator=(const ImagePairFileWriter&) = delete;

  // Creates or truncates the file.
  bool Open(const std::string& name);
  // Writes the header; refuses sides of 0 or above kMaxImageSide.
  bool WriteHeader(long width, long height);
  // Appends count pixel values.
  bool WriteImage(const uint16_t* pixels, size_t count);
  // Closes the file; false when buffered data could not be written.
  bool Close();
  const std::string& Error() const { return error_; }

 private:
  bool WriteValues(const uint16_t* values, size_t count);
  bool Fail(const std::string& why);

  FILE* fptr_ = nullptr;
  std::string name_;
  std::string error_;
};

// For the converters: prints on standard error why the output file could not be written
// and returns the exit status of a failed conversion.
int OutputFailure(const ImagePairFileWriter& writer);

#endif
