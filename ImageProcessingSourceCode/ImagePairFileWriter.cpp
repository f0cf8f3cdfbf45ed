#include "ImagePairFileWriter.h"

#include "ConverterReaders.h"

ImagePairFileWriter::~ImagePairFileWriter() { Close(); }

bool ImagePairFileWriter::Open(const char* name) {
  Close();
  name_ = name;
  fptr_ = fopen(name, "wb");
  return fptr_ != nullptr;
}

bool ImagePairFileWriter::WriteHeader(long width, long height) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) {
    fprintf(stderr, "\n\nImages of %ld px x %ld px cannot be stored: width and height must be 1 to %d px ....\n\n",
            width, height, kMaxImageSide);
    return false;
  }
  const uint16_t header[2] = {static_cast<uint16_t>(width), static_cast<uint16_t>(height)};
  return WriteValues(header, 2);
}

bool ImagePairFileWriter::WriteImage(const uint16_t* pixels, size_t count) { return WriteValues(pixels, count); }

bool ImagePairFileWriter::WriteValues(const uint16_t* values, size_t count) {
  if (fptr_ == nullptr) return false;
  // Encoded in blocks, low byte first, so that every host writes the same bytes.
  unsigned char block[8192];
  const size_t per_block = sizeof block / 2;
  for (size_t done = 0; done < count;) {
    const size_t n = count - done < per_block ? count - done : per_block;
    for (size_t i = 0; i < n; ++i) {
      block[2 * i] = static_cast<unsigned char>(values[done + i] & 0xff);
      block[2 * i + 1] = static_cast<unsigned char>(values[done + i] >> 8);
    }
    if (fwrite(block, 1, 2 * n, fptr_) != 2 * n) {
      fprintf(stderr, "\n\nProblem writing output file %s ....\n\n", name_.c_str());
      return false;
    }
    done += n;
  }
  return true;
}

bool ImagePairFileWriter::Close() {
  if (fptr_ == nullptr) return true;
  const bool ok = fclose(fptr_) == 0;
  fptr_ = nullptr;
  if (!ok) fprintf(stderr, "\n\nProblem writing output file %s ....\n\n", name_.c_str());
  return ok;
}
