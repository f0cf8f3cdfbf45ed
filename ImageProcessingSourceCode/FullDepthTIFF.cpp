// The pages of a TIFF file at full depth: single-sample grey of 8 or 16 bits read as stored,
// strip by strip or tile by tile; every other page through libtiff's RGBA reader, as pralen
// converts without -fulldepth.
#include <cstring>

#include "FullDepthImages.h"
#include "TiffReading.h"

namespace {

// What a page says about its samples.
struct PageLayout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_RGB;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  bool photometricGiven = false;

  bool Grey() const {
    return photometricGiven && samples == 1 &&
           (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
  }
};

PageLayout ReadPageLayout(TIFF* tif) {
  PageLayout page;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &page.format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.orientation);
  page.photometricGiven = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric) == 1;
  return page;
}

// What keeps a page from being converted exactly; null when nothing does.
const char* Unconvertible(const PageLayout& page) {
  if (page.format == SAMPLEFORMAT_IEEEFP) return "floating-point samples";
  if (page.format == SAMPLEFORMAT_INT) return "signed samples";
  if (page.format != SAMPLEFORMAT_UINT && page.format != SAMPLEFORMAT_VOID) return "complex samples";
  if (page.bits == 32) return "32-bit samples";
  if (page.Grey() && page.bits != 1 && page.bits != 2 && page.bits != 4 && page.bits != 8 && page.bits != 16)
    return "grey samples of a width other than 1, 2, 4, 8 or 16 bits";
  return nullptr;
}

// Where stored row y and column x go, bottom row first, as libtiff's RGBA reader places them
// for each orientation (the transposed ones as their untransposed counterparts).
struct Placement {
  bool topFirst;    // stored row 0 is the top row
  bool rightFirst;  // stored column 0 is the right-hand column

  explicit Placement(uint16_t orientation)
      : topFirst(orientation != ORIENTATION_BOTLEFT && orientation != ORIENTATION_BOTRIGHT &&
                 orientation != ORIENTATION_LEFTBOT && orientation != ORIENTATION_RIGHTBOT),
        rightFirst(orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT ||
                   orientation == ORIENTATION_RIGHTTOP || orientation == ORIENTATION_RIGHTBOT) {}
};

// Decodes a grey page of 8 or 16 bits into image, samples as stored (white-is-zero grey
// turned round).
bool DecodeGreyPage(TiffReading& reading, const std::string& name, const PageLayout& page, _16BitImage& image) {
  if (!ImageFitsThePairFile("TIFF", name, page.width, page.height)) return false;
  if (!image.Allocate(static_cast<int>(page.width), static_cast<int>(page.height), name)) return false;
  const Placement place(page.orientation);
  const int bits = page.bits;
  const uint32_t white = page.photometric == PHOTOMETRIC_MINISWHITE ? (bits == 8 ? 255u : 65535u) : 0u;
  const size_t width = page.width;
  const PixelRun store = [&](const unsigned char* bytes, uint32_t count, uint32_t x0, uint32_t y) {
    uint16_t* row = image.data + (place.topFirst ? page.height - 1 - y : y) * width;
    for (uint32_t k = 0; k < count; ++k) {
      uint32_t sample = bytes[k];
      if (bits == 16) {
        uint16_t wide;
        std::memcpy(&wide, bytes + 2 * k, sizeof wide);
        sample = wide;
      }
      if (white != 0) sample = white - sample;
      const size_t x = x0 + k;
      row[place.rightFirst ? width - 1 - x : x] = FullDepthValue(sample, bits);
    }
    return true;
  };
  reading.ForgetProblems();
  std::string error;
  if (ReadPixelRuns(reading.Tiff(), page.width, page.height, 1, bits, store, error) && !reading.HadProblem())
    return true;
  if (error.empty()) error = reading.FirstProblem().empty() ? "a strip or tile cannot be read" : reading.FirstProblem();
  fprintf(stderr, "\n\nTIFF file %s does not decode: %s ....\n\n", name.c_str(), error.c_str());
  return false;
}

}  // namespace

bool ReadFullDepthTIFF(const char* fname, const ImageSink& take) {
  TiffReading reading(fname, TiffReading::Messages::Printed);
  if (reading.Tiff() == nullptr) {
    fprintf(stderr, "\n\nTIFF file %s cannot be read ....\n\n", fname);
    return false;
  }
  _16BitImage image;
  for (int page = 1;; ++page) {
    const std::string name = PageName(fname, page);
    const PageLayout layout = ReadPageLayout(reading.Tiff());
    if (const char* why = Unconvertible(layout)) {
      fprintf(stderr, "\n\nTIFF file %s holds %s, which cannot be converted exactly ....\n\n", name.c_str(), why);
      return false;
    }
    const bool exact = layout.Grey() && (layout.bits == 8 || layout.bits == 16);
    const bool decoded = exact ? DecodeGreyPage(reading, name, layout, image) : DecodeRGBAPage(reading, name, image);
    if (!decoded || !take(image, page)) return false;
    reading.ForgetProblems();
    if (TIFFReadDirectory(reading.Tiff()) == 1) continue;
    if (!reading.HadProblem()) return true;
    fprintf(stderr, "\n\nTIFF file %s: the page after page %d cannot be read: %s ....\n\n", fname, page,
            reading.FirstProblem().c_str());
    return false;
  }
}
