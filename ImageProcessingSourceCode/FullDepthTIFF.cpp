// The pages of a TIFF file at full depth: grey of 8 or 16 bits read as stored, strip by strip
// or tile by tile (the first sample of each pixel: an alpha after it is left out, as from a
// PNG); colour and narrower grey through libtiff's RGBA reader, as pralen converts without
// -fulldepth. That reader cuts samples to 8 bits, so a deeper page it would have to read is
// refused.
#include <cstring>
#include <string>

#include "FullDepthImages.h"
#include "TiffReading.h"

namespace {

// What a page says about its samples.
struct PageLayout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_RGB;
  uint16_t orientation = ORIENTATION_TOPLEFT, planar = PLANARCONFIG_CONTIG;
  bool photometricKnown = false;  // given, or told by the number of colour samples

  bool Grey() const {
    return photometricKnown && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
  }
  bool Colour() const {
    return photometricKnown && (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_PALETTE);
  }
  // Samples from one pixel to the next in what libtiff delivers of the first plane.
  int Stride() const { return planar == PLANARCONFIG_SEPARATE ? 1 : samples; }
};

PageLayout ReadPageLayout(TIFF* tif) {
  PageLayout page;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &page.format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page.planar);
  page.photometricKnown = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric) == 1;
  if (!page.photometricKnown) {
    // Without the tag, one colour sample is min-is-black grey and three are RGB, as libtiff's
    // RGBA reader takes them.
    uint16_t extra = 0;
    uint16_t* kinds = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &kinds);
    const int colours = page.samples - extra;
    page.photometricKnown = colours == 1 || colours == 3;
    page.photometric = colours == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
  }
  return page;
}

// What keeps a page from being converted exactly; empty when nothing does.
std::string Unconvertible(const PageLayout& page) {
  if (page.format == SAMPLEFORMAT_IEEEFP) return "floating-point samples";
  if (page.format == SAMPLEFORMAT_INT) return "signed samples";
  if (page.format != SAMPLEFORMAT_UINT && page.format != SAMPLEFORMAT_VOID) return "complex samples";
  if (page.bits == 32) return "32-bit samples";
  if (page.Grey() && page.bits != 1 && page.bits != 2 && page.bits != 4 && page.bits != 8 && page.bits != 16)
    return "grey samples of a width other than 1, 2, 4, 8 or 16 bits";
  if (page.bits > 8 && !page.Grey() && !page.Colour())
    return std::to_string(page.bits) + "-bit samples neither grey nor RGB";
  return "";
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
  const int stride = page.Stride();
  const PixelRun store = [&](const unsigned char* bytes, uint32_t count, uint32_t x0, uint32_t y) {
    uint16_t* row = image.data + (place.topFirst ? page.height - 1 - y : y) * width;
    for (uint32_t k = 0; k < count; ++k) {
      const size_t at = static_cast<size_t>(k) * stride;
      uint32_t sample = bytes[at];
      if (bits == 16) {
        uint16_t wide;
        std::memcpy(&wide, bytes + 2 * at, sizeof wide);
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
  if (ReadPixelRuns(reading.Tiff(), page.width, page.height, stride, bits, store, error) && !reading.HadProblem())
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
    const std::string why = Unconvertible(layout);
    if (!why.empty()) {
      fprintf(stderr, "\n\nTIFF file %s holds %s, which cannot be converted exactly ....\n\n", name.c_str(),
              why.c_str());
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
