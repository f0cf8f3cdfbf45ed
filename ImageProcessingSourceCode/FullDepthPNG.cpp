// A PNG file at full depth: grey (with or without alpha, which is left out) as stored, grey
// below 8 bits widened to 8 as libpng does; colour reduced to 8 bits a channel and to one
// grey level as pralen reduces a colour TIFF.
#include <vector>

#include "FullDepthImages.h"
#include "PngReading.h"

namespace {

void GreyTransforms(png_structp png, png_infop info) {
  if (png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
  png_set_strip_alpha(png);
}

void ColourTransforms(png_structp png, png_infop) {
  png_set_palette_to_rgb(png);
  png_set_strip_alpha(png);
  png_set_scale_16(png);
}

// The value pralen writes for pixel x of a decoded row.
uint16_t PixelValue(const png_byte* row, size_t x, const PngRows& layout) {
  if (layout.channels == 3) {
    const png_byte* rgb = row + 3 * x;
    return GreyLevel(static_cast<uint32_t>(rgb[0]) | static_cast<uint32_t>(rgb[1]) << 8 |
                     static_cast<uint32_t>(rgb[2]) << 16);
  }
  if (layout.depth == 16) return static_cast<uint16_t>(row[2 * x] << 8 | row[2 * x + 1]);  // high byte first
  return FullDepthValue(row[x], 8);
}

bool Damaged(const char* fname, const PngReading& reading) {
  fprintf(stderr, "\n\nPNG file %s does not decode: %s ....\n\n", fname, reading.Error().c_str());
  return false;
}

}  // namespace

bool ReadFullDepthPNG(FILE* file, const char* fname, const ImageSink& take) {
  PngReading reading;
  if (!reading.Ok()) {
    fprintf(stderr, "\n\nNo memory for reading the PNG file %s ....\n\n", fname);
    return false;
  }
  if (!reading.ReadHeader(file)) return Damaged(fname, reading);
  const png_uint_32 width = reading.Width(), height = reading.Height();
  if (!ImageFitsThePairFile("PNG", fname, width, height)) return false;
  const bool grey = (png_get_color_type(reading.Png(), reading.Info()) & PNG_COLOR_MASK_COLOR) == 0;
  PngRows layout;
  if (!reading.Decode(grey ? GreyTransforms : ColourTransforms, &layout)) return Damaged(fname, reading);
  const bool known = grey ? layout.channels == 1 && (layout.depth == 8 || layout.depth == 16)
                          : layout.channels == 3 && layout.depth == 8;
  if (!known || layout.row_bytes < static_cast<size_t>(width) * layout.channels * (layout.depth / 8)) {
    fprintf(stderr, "\n\nPNG file %s decodes to %d channels of %d bits, a layout pralen does not know ....\n\n", fname,
            layout.channels, layout.depth);
    return false;
  }
  std::vector<png_byte> pixels(layout.row_bytes * height);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = &pixels[layout.row_bytes * y];
  if (!reading.ReadImage(rows.data())) return Damaged(fname, reading);

  _16BitImage image;
  if (!image.Allocate(static_cast<int>(width), static_cast<int>(height), fname)) return false;
  for (png_uint_32 y = 0; y < height; ++y) {
    uint16_t* out = image.data + static_cast<size_t>(height - 1 - y) * width;  // bottom row first
    for (size_t x = 0; x < width; ++x) out[x] = PixelValue(rows[y], x, layout);
  }
  return take(image, 1);
}
