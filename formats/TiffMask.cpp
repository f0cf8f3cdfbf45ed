#include "TiffMask.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ImagePairFile.h"  // kMaxImageSide
#include "MaskSamples.h"

namespace {

// The most libtiff may allocate at once for one strip or tile of a damaged file.
constexpr tmsize_t kLargestAllocation = 256 * 1024 * 1024;

// Keeps libtiff's first error message for the reason; nothing goes to standard error.
int KeepFirstError(TIFF*, void* user, const char*, const char* format, va_list args) {
  std::string* text = static_cast<std::string*>(user);
  if (text->empty()) {
    char message[256];
    std::vsnprintf(message, sizeof message, format, args);
    *text = message;
  }
  return 1;
}

// A warning (an unknown tag, say) does not make a mask unreadable.
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Owns the open file; libtiff's messages go to Error().
class TiffReading {
 public:
  explicit TiffReading(const std::string& path) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return;
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepFirstError, &error_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kLargestAllocation);
    tif_ = TIFFOpenExt(path.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
  }
  ~TiffReading() {
    if (tif_ != nullptr) TIFFClose(tif_);
  }
  TiffReading(const TiffReading&) = delete;
  TiffReading& operator=(const TiffReading&) = delete;

  TIFF* Tiff() const { return tif_; }
  std::string Damaged() const { return "damaged TIFF file: " + (error_.empty() ? "cannot decode it" : error_); }

 private:
  std::string error_;
  TIFF* tif_ = nullptr;
};

// What the first directory says about the samples, and how they become a mask's samples.
struct TiffLayout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
  const uint16_t* palette[3] = {nullptr, nullptr, nullptr};  // red, green, blue (owned by libtiff)

  uint32_t Largest() const { return bits == 32 ? UINT32_MAX : (1u << bits) - 1; }
  // The samples per pixel handed to SamplesToFlow: a palette index becomes red, green, blue.
  SampleLayout Output() const {
    return {photometric == PHOTOMETRIC_PALETTE ? 3 : static_cast<int>(samples), Largest()};
  }
};

const char* ColourSpaceName(uint16_t photometric) {
  switch (photometric) {
    case PHOTOMETRIC_SEPARATED: return "separated colour (CMYK)";
    case PHOTOMETRIC_YCBCR: return "YCbCr colour";
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB: return "L*a*b* colour";
    default: return "a colour space other than grey, RGB or a palette";
  }
}

// Reads the first directory's description of the samples; false with the reason for
// anything a mask cannot be read from.
bool ReadLayout(TIFF* tif, TiffLayout& layout, std::string& error) {
  uint16_t format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG, orientation = ORIENTATION_TOPLEFT;
  if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width) != 1 ||
      TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height) != 1 ||
      TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout.photometric) != 1) {
    error = "damaged TIFF file: its size or colour space is missing";
    return false;
  }
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  const std::string size = std::to_string(layout.width) + " x " + std::to_string(layout.height) + " px";
  const uint16_t p = layout.photometric;
  const bool grey = p == PHOTOMETRIC_MINISBLACK || p == PHOTOMETRIC_MINISWHITE;
  if (layout.width == 0 || layout.height == 0 || layout.width > static_cast<uint32_t>(kMaxImageSide) ||
      layout.height > static_cast<uint32_t>(kMaxImageSide))
    error = "the TIFF image is " + size + ": a mask is 1 to " + std::to_string(kMaxImageSide) + " px a side";
  else if (format == SAMPLEFORMAT_IEEEFP)
    error = "the TIFF image holds floating-point samples: a mask holds whole numbers";
  else if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_INT && format != SAMPLEFORMAT_VOID)
    error = "the TIFF image holds complex samples: a mask holds whole numbers";
  else if (layout.bits != 1 && layout.bits != 2 && layout.bits != 4 && layout.bits != 8 && layout.bits != 16 &&
           layout.bits != 32)
    error = "the TIFF image has " + std::to_string(layout.bits) + "-bit samples: a mask has 1, 2, 4, 8, 16 or 32";
  else if (!grey && p != PHOTOMETRIC_RGB && p != PHOTOMETRIC_PALETTE)
    error = std::string("the TIFF image is in ") + ColourSpaceName(p) + ": a mask must be greyscale";
  else if ((grey && layout.samples != 1 && layout.samples != 2) ||
           (p == PHOTOMETRIC_RGB && layout.samples != 3 && layout.samples != 4) ||
           (p == PHOTOMETRIC_PALETTE && (layout.samples != 1 || layout.bits > 16)))
    error = "the TIFF image has " + std::to_string(layout.samples) + " samples per pixel of " +
            std::to_string(layout.bits) + " bits, a layout a mask cannot have";
  else if (layout.samples > 1 && planar != PLANARCONFIG_CONTIG)
    error = "the TIFF image stores its samples in separate planes: a mask stores them together";
  else if (orientation != ORIENTATION_TOPLEFT)
    error = "the TIFF image is not stored top row first (orientation " + std::to_string(orientation) + ")";
  else if (p == PHOTOMETRIC_PALETTE &&
           TIFFGetField(tif, TIFFTAG_COLORMAP, &layout.palette[0], &layout.palette[1], &layout.palette[2]) != 1)
    error = "damaged TIFF file: its palette is missing";
  return error.empty();
}

// Unpacks count samples of bits each (packed from the high bit of a byte down for bits below
// 8; 16 and 32 bits in host order, as libtiff hands them) into samples.
void Unpack(const unsigned char* bytes, size_t count, int bits, std::vector<uint32_t>& samples) {
  samples.resize(count);
  for (size_t k = 0; k < count; ++k) {
    if (bits == 8) {
      samples[k] = bytes[k];
    } else if (bits == 16) {
      uint16_t v;
      std::memcpy(&v, bytes + 2 * k, sizeof v);
      samples[k] = v;
    } else if (bits == 32) {
      std::memcpy(&samples[k], bytes + 4 * k, sizeof(uint32_t));
    } else {
      const size_t bit = k * bits;
      samples[k] = (bytes[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    }
  }
}

// Turns stored samples into the grey (or red, green, blue) a mask is judged by: a white-is-
// zero grey level is flipped, a palette index becomes its colour.
void ToGrey(const TiffLayout& layout, std::vector<uint32_t>& samples, std::vector<uint32_t>& out) {
  if (layout.photometric == PHOTOMETRIC_PALETTE) {
    out.resize(3 * samples.size());
    for (size_t k = 0; k < samples.size(); ++k)
      for (int c = 0; c < 3; ++c) out[3 * k + c] = layout.palette[c][samples[k]];
    return;
  }
  if (layout.photometric == PHOTOMETRIC_MINISWHITE)
    for (size_t k = 0; k < samples.size(); k += layout.samples) samples[k] = layout.Largest() - samples[k];
  out.swap(samples);
}

// Judges count pixels of row y from column x0 on, packed as libtiff decoded them.
bool JudgeRun(const TiffLayout& layout, const unsigned char* bytes, size_t count, int x0, int y, MaskImage& mask,
              std::string& error) {
  std::vector<uint32_t> stored, samples;
  Unpack(bytes, count * layout.samples, layout.bits, stored);
  ToGrey(layout, stored, samples);
  return SamplesToFlow(samples, layout.Output(), x0, y, mask.Row(y) + x0, error);
}

bool ReadStrips(TIFF* tif, const TiffLayout& layout, MaskImage& mask, std::string& error) {
  std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tif)));
  const size_t needed = (static_cast<size_t>(layout.width) * layout.samples * layout.bits + 7) / 8;
  if (row.size() < needed) {
    error = "damaged TIFF file: its rows are shorter than its size";
    return false;
  }
  for (uint32_t y = 0; y < layout.height; ++y) {
    if (TIFFReadScanline(tif, row.data(), y, 0) < 0) return false;
    if (!JudgeRun(layout, row.data(), layout.width, 0, static_cast<int>(y), mask, error)) return false;
  }
  return true;
}

bool ReadTiles(TIFF* tif, const TiffLayout& layout, MaskImage& mask, std::string& error) {
  uint32_t tile_width = 0, tile_height = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tile_width);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &tile_height);
  const tmsize_t tile_bytes = TIFFTileSize(tif), row_bytes = TIFFTileRowSize(tif);
  const size_t needed = (static_cast<size_t>(tile_width) * layout.samples * layout.bits + 7) / 8;
  if (tile_width == 0 || tile_height == 0 || tile_bytes <= 0 || row_bytes <= 0 ||
      static_cast<size_t>(row_bytes) < needed || tile_bytes / row_bytes < static_cast<tmsize_t>(tile_height)) {
    error = "damaged TIFF file: its tiles do not match their size";
    return false;
  }
  std::vector<unsigned char> tile(static_cast<size_t>(tile_bytes));
  for (uint32_t ty = 0; ty < layout.height; ty += tile_height)
    for (uint32_t tx = 0; tx < layout.width; tx += tile_width) {
      if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0) return false;
      const uint32_t columns = std::min(tile_width, layout.width - tx);
      const uint32_t rows = std::min(tile_height, layout.height - ty);
      for (uint32_t r = 0; r < rows; ++r)
        if (!JudgeRun(layout, &tile[static_cast<size_t>(r) * row_bytes], columns, static_cast<int>(tx),
                      static_cast<int>(ty + r), mask, error))
          return false;
    }
  return true;
}

}  // namespace

bool IsTiffSignature(const unsigned char* bytes, size_t count) {
  if (count < 4) return false;
  const bool little = bytes[0] == 'I' && bytes[1] == 'I' && (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
  const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
  return little || big;
}

bool ReadTiffMask(const std::string& path, MaskImage& mask, std::string& error) {
  TiffReading reading(path);
  if (reading.Tiff() == nullptr) {
    error = reading.Damaged();
    return false;
  }
  TiffLayout layout;
  if (!ReadLayout(reading.Tiff(), layout, error)) return false;
  mask = MaskImage(static_cast<int>(layout.width), static_cast<int>(layout.height));
  const bool read = TIFFIsTiled(reading.Tiff()) ? ReadTiles(reading.Tiff(), layout, mask, error)
                                                : ReadStrips(reading.Tiff(), layout, mask, error);
  if (!read && error.empty()) error = reading.Damaged();
  return read;
}
