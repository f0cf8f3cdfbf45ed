#include "MaskFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ImagePairFile.h"
#include "PngMask.h"
#include "PngReading.h"
#include "TiffMask.h"
#include "TiffReading.h"

namespace {

// Owns a file opened for reading.
class OpenFile {
 public:
  explicit OpenFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~OpenFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  FILE* Stream() const { return file_; }

 private:
  FILE* file_;
};

// The first image of an image-pair file; false with the reason when the file is none.
bool ReadImagePairMask(const std::string& path, MaskImage& mask, std::string& error) {
  ImagePairFileReader reader;
  const ImagePairFileReader::Status status = reader.Open(path.c_str());
  if (status != ImagePairFileReader::Status::Ok || reader.NumberImages() < 1) {
    error = "neither a PNG nor a TIFF image, nor an image-pair file holding a whole image";
    const ImageHeader& header = reader.Header();
    if (status == ImagePairFileReader::Status::Ok || status == ImagePairFileReader::Status::TooLarge)
      error += " (as an image-pair file its header gives " + std::to_string(header.width) + " x " +
               std::to_string(header.height) + " px)";
    return false;
  }
  const size_t count = static_cast<size_t>(reader.PixelsPerImage());
  std::vector<uint16_t> pixels(count);
  if (reader.ReadImage(1, pixels.data()) < count) {
    error = "cannot read the first image of the image-pair file";
    return false;
  }
  mask = MaskImage(reader.Width(), reader.Height());
  for (int y = 0; y < reader.Height(); ++y) {
    unsigned char* row = mask.Row(y);
    const uint16_t* values = &pixels[static_cast<size_t>(y) * reader.Width()];
    for (int x = 0; x < reader.Width(); ++x) row[x] = values[x] != 0 ? 1 : 0;
  }
  return true;
}

}  // namespace

const char* MaskFileKindName(MaskFileKind kind) {
  switch (kind) {
    case MaskFileKind::Png: return "PNG";
    case MaskFileKind::Tiff: return "TIFF";
    case MaskFileKind::ImagePair: break;
  }
  return "image-pair file";
}

bool ReadMaskFile(const std::string& path, MaskImage& mask, MaskFileKind& kind, std::string& error) {
  OpenFile file(path);
  if (file.Stream() == nullptr) {
    error = "cannot open the mask file " + path + ": " + std::strerror(errno);
    return false;
  }
  unsigned char start[8];
  const size_t count = std::fread(start, 1, sizeof start, file.Stream());
  if (std::ferror(file.Stream())) {  // a directory, say
    error = "cannot read the mask file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string why;
  bool read = false;
  if (IsPngSignature(start, count)) {
    kind = MaskFileKind::Png;
    std::rewind(file.Stream());
    read = ReadPngMask(file.Stream(), mask, why);
  } else if (IsTiffSignature(start, count)) {
    kind = MaskFileKind::Tiff;
    read = ReadTiffMask(path, mask, why);
  } else {
    kind = MaskFileKind::ImagePair;
    read = ReadImagePairMask(path, mask, why);
  }
  if (!read) error = "the mask file " + path + " cannot be used: " + why;
  return read;
}
