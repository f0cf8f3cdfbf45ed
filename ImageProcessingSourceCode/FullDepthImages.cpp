#include "FullDepthImages.h"

#include <cerrno>
#include <cstring>

#include "PngReading.h"
#include "TiffReading.h"

namespace {

// Closes the file on every path.
struct OpenFile {
  FILE* file = nullptr;
  ~OpenFile() {
    if (file != nullptr) fclose(file);
  }
};

}  // namespace

std::string PageName(const char* fname, int page) {
  return page <= 1 ? std::string(fname) : std::string(fname) + ", page " + std::to_string(page);
}

bool ReadFullDepthImages(const char* fname, const ImageSink& take) {
  OpenFile input;
  input.file = fopen(fname, "rb");
  if (input.file == nullptr) {
    fprintf(stderr, "\n\nCannot open %s: %s ....\n\n", fname, strerror(errno));
    return false;
  }
  unsigned char start[8] = {};
  const size_t count = fread(start, 1, sizeof start, input.file);
  if (IsPngSignature(start, count)) {
    rewind(input.file);
    return ReadFullDepthPNG(input.file, fname, take);
  }
  if (IsTiffSignature(start, count)) return ReadFullDepthTIFF(fname, take);
  fprintf(stderr, "\n\n%s is neither a TIFF nor a PNG file ....\n\n", fname);
  return false;
}
