#include "ImagePairFileWriter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

ImagePairFileWriter::~ImagePairFileWriter() {
  if (fptr_ != nullptr) fclose(fptr_);
}

bool ImagePairFileWriter::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool ImagePairFileWriter::Open(const std::string& name) {
  if (fptr_ != nullptr) fclose(fptr_);
  name_ = name;
  fptr_ = fopen(name.c_str(), "wb");
  if (fptr_ == nullptr) return Fail("cannot write '" + name + "': " + strerror(errno));
  return true;
}

bool ImagePairFileWriter::WriteHeader(long width, long height) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
    return Fail("images of " + std::to_string(width) + " px x " + std::to_string(height) +
                " px cannot be stored: width and height must be 1 to " + std::to_string(kMaxImageSide) + " px");
  const uint16_t header[2] = {static_cast<uint16_t>(width), static_cast<uint16_t>(height)};
  return WriteValues(header, 2);
}

bool ImagePairFileWriter::WriteImage(const uint16_t* pixels, size_t count) { return WriteValues(pixels, count); }

bool ImagePairFileWriter::WriteValues(const uint16_t* values, size_t count) {
  if (fptr_ == nullptr) return Fail("no open output file");
  // Encoded in blocks, low byte first, so that every host writes the same bytes.
  unsigned char block[8192];
  const size_t per_block = sizeof block / 2;
  for (size_t done = 0; done < count;) {
    const size_t n = count - done < per_block ? count - done : per_block;
    for (size_t i = 0; i < n; ++i) {
      block[2 * i] = static_cast<unsigned char>(values[done + i] & 0xff);
      block[2 * i + 1] = static_cast<unsigned char>(values[done + i] >> 8);
    }
    if (fwrite(block, 1, 2 * n, fptr_) != 2 * n) return Fail("cannot write '" + name_ + "': " + strerror(errno));
    done += n;
  }
  return true;
}

bool ImagePairFileWriter::Close() {
  if (fptr_ == nullptr) return true;
  bool ok = fflush(fptr_) == 0 && ferror(fptr_) == 0;
  int cause = errno;
  if (fclose(fptr_) != 0 && ok) {
    ok = false;
    cause = errno;
  }
  fptr_ = nullptr;
  return ok || Fail("cannot write '" + name_ + "': " + strerror(cause));
}

int OutputFailure(const ImagePairFileWriter& writer) {
  fflush(stdout);
  fprintf(stderr, "\n\n%s ....\n\n", writer.Error().c_str());
  return EXIT_FAILURE;
}
