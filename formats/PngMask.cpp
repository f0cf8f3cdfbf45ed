#include "PngMask.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "ImagePairFile.h"  // kMaxImageSide
#include "MaskSamples.h"
#include "PngReading.h"

namespace {

// Palette to RGB, grey below 8 bits to 8, a transparent colour to an alpha channel.
void ExpandToSamples(png_structp png, png_infop) { png_set_expand(png); }

}  // namespace

bool ReadPngMask(FILE* file, MaskImage& mask, std::string& error) {
  PngReading reading;
  if (!reading.Ok()) {
    error = "out of memory for the PNG reader";
    return false;
  }
  if (!reading.ReadHeader(file)) {
    error = "damaged PNG file: " + reading.Error();
    return false;
  }
  const png_uint_32 largest = static_cast<png_uint_32>(kMaxImageSide);
  if (reading.Width() > largest || reading.Height() > largest) {
    error = "the PNG image is " + std::to_string(reading.Width()) + " x " + std::to_string(reading.Height()) +
            " px: a mask is at most " + std::to_string(kMaxImageSide) + " px a side";
    return false;
  }
  PngRows layout;
  if (!reading.Decode(ExpandToSamples, &layout)) {
    error = "damaged PNG file: " + reading.Error();
    return false;
  }
  const int width = static_cast<int>(reading.Width()), height = static_cast<int>(reading.Height());
  const size_t needed = static_cast<size_t>(width) * layout.channels * (layout.depth / 8);
  if (layout.depth % 8 != 0 || layout.channels < 1 || layout.channels > 4 || layout.row_bytes < needed) {
    error = "a PNG layout this reader does not know (" + std::to_string(layout.channels) + " channels of " +
            std::to_string(layout.depth) + " bits)";
    return false;
  }
  std::vector<png_byte> pixels(layout.row_bytes * height);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[y] = &pixels[layout.row_bytes * y];
  if (!reading.ReadImage(rows.data())) {
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
