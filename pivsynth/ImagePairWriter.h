// Writes the image-pair file: little-endian 16-bit width and height, then the images,
// each width * height little-endian 16-bit pixels, row after row.
#ifndef PIVSYNTH_IMAGEPAIRWRITER_H
#define PIVSYNTH_IMAGEPAIRWRITER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class ImagePairWriter {
 public:
  ImagePairWriter() = default;
  ~ImagePairWriter();
  ImagePairWriter(const ImagePairWriter&) = delete;
  ImagePairWriter& operator=(const ImagePairWriter&) = delete;

  // Creates (or truncates) the file and writes the header.
  bool Open(const std::string& path, int width, int height);
  // Appends one image of width * height pixels.
  bool Write(const std::vector<uint16_t>& pixels);
  // Closes the file; true when every byte reached it.
  bool Close();
  const std::string& Error() const { return error_; }

 private:
  bool Put(const std::vector<uint16_t>& values);

  std::FILE* file_ = nullptr;
  std::string path_, error_;
  size_t pixels_ = 0;
};

#endif
