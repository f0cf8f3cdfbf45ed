// Writing of the image-pair file that tarvex reads: a little-endian 16-bit width and
// height, then the images one after the other as little-endian 16-bit values.
#ifndef IMAGEPAIRFILEWRITER_H
#define IMAGEPAIRFILEWRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Owns the output file; destroying the writer closes it.
class ImagePairFileWriter {
 public:
  ImagePairFileWriter() = default;
  ~ImagePairFileWriter();
  ImagePairFileWriter(const ImagePairFileWriter&) = delete;
  ImagePairFileWriter& operator=(const ImagePairFileWriter&) = delete;

  // Creates or truncates the file.
  bool Open(const char* name);
  // Writes the header; refuses (message on standard error) sides of 0 or above 5000,
  // which the reader could not tell from a byte-reversed header.
  bool WriteHeader(long width, long height);
  // Appends count pixel values.
  bool WriteImage(const uint16_t* pixels, size_t count);
  // Closes the file; false when buffered data could not be written.
  bool Close();

 private:
  bool WriteValues(const uint16_t* values, size_t count);

  FILE* fptr_ = nullptr;
  std::string name_;
};

#endif
