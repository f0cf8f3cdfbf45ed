#include "ImagePairWriter.h"

#include <cerrno>
#include <cstring>

ImagePairWriter::~ImagePairWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

bool ImagePairWriter::Open(const std::string& path, int width, int height) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    error_ = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  pixels_ = static_cast<size_t>(width) * static_cast<size_t>(height);
  return Put({static_cast<uint16_t>(width), static_cast<uint16_t>(height)});
}

bool ImagePairWriter::Write(const std::vector<uint16_t>& pixels) {
  if (file_ == nullptr || pixels.size() != pixels_) {
    error_ = "internal error: image of the wrong size for '" + path_ + "'";
    return false;
  }
  return Put(pixels);
}

bool ImagePairWriter::Put(const std::vector<uint16_t>& values) {
  // Byte by byte, so the file is little-endian whatever the host's order.
  std::vector<unsigned char> bytes(2 * values.size());
  for (size_t k = 0; k < values.size(); ++k) {
    bytes[2 * k] = static_cast<unsigned char>(values[k] & 0xff);
    bytes[2 * k + 1] = static_cast<unsigned char>(values[k] >> 8);
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

bool ImagePairWriter::Close() {
  if (file_ == nullptr) return false;
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  int cause = errno;
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    cause = errno;
  }
  file_ = nullptr;
  if (!ok) {
    error_ = "cannot write '" + path_ + "': " + std::strerror(cause);
    return false;
  }
  return true;
}
