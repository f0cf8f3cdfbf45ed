#include "TiffMask.h"

#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ImagePairFile.h"  // kMaxImageSide
#include "MaskSamples.h"
#include "TiffReading.h"

namespace {

// Why a file that libtiff could not open or decode is refused.
std::string Damaged(const TiffReading& reading) {
  return "damaged TIFF file: " + (reading.FirstProblem().empty() ? "cannot decode it" : reading.FirstProblem());
}

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

}  // namespace

bool ReadTiffMask(const std::string& path, MaskImage& mask, std::string& error) {
  TiffReading reading(path, TiffReading::Messages::Quiet);
  if (reading.Tiff() == nullptr) {
    error = Damaged(reading);
    return false;
  }
  TiffLayout layout;
  if (!ReadLayout(reading.Tiff(), layout, error)) return false;
  mask = MaskImage(static_cast<int>(layout.width), static_cast<int>(layout.height));
  const PixelRun judge = [&](const unsigned char* bytes, uint32_t count, uint32_t x0, uint32_t y) {
    return JudgeRun(layout, bytes, count, static_cast<int>(x0), static_cast<int>(y), mask, error);
  };
  const bool read = ReadPixelRuns(reading.Tiff(), layout.width, layout.height, layout.samples, layout.bits, judge, error);
  if (!read && error.empty()) error = Damaged(reading);
  return read;
}
