#include "PngMask.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "ImagePairFile.h"  // kMaxImageSide
#include "MaskSamples.h"

namespace {

// libpng reports an error by calling OnPngError, which must not return: it keeps the
// message here and jumps back to the setjmp of the read in progress. Plain data only, as
// nothing between the two may need destroying.
struct PngErrorText {
  char text[256];
};

void OnPngError(png_structp png, png_const_charp message) {
  PngErrorText* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

// A warning (an unknown chunk, a questionable gamma) does not make a mask unreadable.
void OnPngWarning(png_structp, png_const_charp) {}

// Owns libpng's read structures.
class PngReading {
 public:
  PngReading() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error_, OnPngError, OnPngWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~PngReading() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
  PngReading(const PngReading&) = delete;
  PngReading& operator=(const PngReading&) = delete;

  bool Ok() const { return png_ != nullptr && info_ != nullptr; }
  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }
  std::string Error() const { return error_.text; }

 private:
  PngErrorText error_{};
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// The rows as png_read_image delivers them after the expansions below.
struct PngRows {
  png_uint_32 width, height;
  int channels, depth;  // depth 8 or 16
  size_t row_bytes;
};

// Reads the header, and (for a size a mask can have) sets the expansions: palette to RGB,
// grey below 8 bits to 8, a transparent colour to an alpha channel. Holds nothing that needs
// destroying, as libpng may jump out of it.
bool ReadPngHeader(png_structp png, png_infop info, FILE* file, PngRows* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_read_info(png, info);
  rows->width = png_get_image_width(png, info);
  rows->height = png_get_image_height(png, info);
  if (rows->width > static_cast<png_uint_32>(kMaxImageSide) || rows->height > static_cast<png_uint_32>(kMaxImageSide))
    return true;
  png_set_expand(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  rows->channels = png_get_channels(png, info);
  rows->depth = png_get_bit_depth(png, info);
  rows->row_bytes = png_get_rowbytes(png, info);
  return true;
}

// Decodes every row, and the chunks after them up to the end (checking their CRCs). As
// ReadPngHeader, it holds nothing that needs destroying.
bool ReadPngImage(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool IsPngSignature(const unsigned char* bytes, size_t count) {
  return count >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

bool ReadPngMask(FILE* file, MaskImage& mask, std::string& error) {
  PngReading reading;
  if (!reading.Ok()) {
    error = "out of memory for the PNG reader";
    return false;
  }
  PngRows layout{};
  if (!ReadPngHeader(reading.Png(), reading.Info(), file, &layout)) {
    error = "damaged PNG file: " + reading.Error();
    return false;
  }
  const png_uint_32 largest = static_cast<png_uint_32>(kMaxImageSide);
  if (layout.width > largest || layout.height > largest) {
    error = "the PNG image is " + std::to_string(layout.width) + " x " + std::to_string(layout.height) +
            " px: a mask is at most " + std::to_string(kMaxImageSide) + " px a side";
    return false;
  }
  const int width = static_cast<int>(layout.width), height = static_cast<int>(layout.height);
  const size_t needed = static_cast<size_t>(width) * layout.channels * (layout.depth / 8);
  if (layout.depth % 8 != 0 || layout.channels < 1 || layout.channels > 4 || layout.row_bytes < needed) {
    error = "a PNG layout this reader does not know (" + std::to_string(layout.channels) + " channels of " +
            std::to_string(layout.depth) + " bits)";
    return false;
  }
  std::vector<png_byte> pixels(layout.row_bytes * height);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[y] = &pixels[layout.row_bytes * y];
  if (!ReadPngImage(reading.Png(), rows.data())) {
    error = "damaged PNG file: " + reading.Error();
    return false;
  }
  const bool wide = layout.depth == 16;
  const SampleLayout samples_layout{layout.channels, wide ? 65535u : 255u};
  std::vector<uint32_t> samples(static_cast<size_t>(width) * layout.channels);
  mask = MaskImage(width, height);
  for (int y = 0; y < height; ++y) {
    const png_byte* row = rows[y];
    for (size_t k = 0; k < samples.size(); ++k)
      samples[k] = wide ? static_cast<uint32_t>(row[2 * k] << 8 | row[2 * k + 1]) : row[k];  // 16 bits: high byte first
    if (!SamplesToFlow(samples, samples_layout, 0, y, mask.Row(y), error)) return false;
  }
  return true;
}

bool WritePngMask(FILE* file, const MaskImage& mask, std::string& error) {
  std::vector<png_byte> grey(mask.Bytes().size());
  for (size_t k = 0; k < grey.size(); ++k) grey[k] = mask.Bytes()[k] != 0 ? 255 : 0;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(mask.Width());
  image.height = static_cast<png_uint_32>(mask.Height());
  image.format = PNG_FORMAT_GRAY;
  if (png_image_write_to_stdio(&image, file, 0, grey.data(), 0, nullptr) == 0) {
    error = std::string("cannot encode the mask as PNG: ") + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}
