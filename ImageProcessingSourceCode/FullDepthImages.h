// The images of a TIFF or PNG file for pralen -fulldepth: grey samples as stored, 16-bit ones
// unchanged and 8-bit ones times 16 (the 12-bit scale pralen always gives them, so an 8-bit
// file converts to the same image either way); colour reduced as pralen reduces it without
// the option; every page of a multi-page TIFF, in order; rows bottom first, as pralen writes
// them. The kind of file is told by its first bytes, not its name.
//
// Worked example: a 16-bit grey pixel 40000 stays 40000; an 8-bit grey pixel 100 becomes 1600;
// an RGB pixel (1, 1, 0) becomes 2 * 4096 / 768 = 10 (truncated). A 3-page TIFF calls
// take(image, 1), take(image, 2), take(image, 3); in messages its second page is
// "run.tif, page 2".
#ifndef FULLDEPTHIMAGES_H
#define FULLDEPTHIMAGES_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "TIFFImageReader.h"

// Receives the images of a file in order, page counted from 1; false stops the reading.
using ImageSink = std::function<bool(const _16BitImage& image, int page)>;

// Reads every image of the file fname. False, with a message on standard error naming the
// file (and the page), when it cannot be opened, is neither TIFF nor PNG, holds samples that
// cannot be converted exactly (floating-point, signed, 32-bit, 12-bit), does not decode
// whole (a damaged strip, an unknown compression, a PNG with errors), has a side of 0 or
// above 5000 px, or when take returns false.
bool ReadFullDepthImages(const char* fname, const ImageSink& take);

// The two kinds: the TIFF file fname, and the PNG file open as file (at its start).
bool ReadFullDepthTIFF(const char* fname, const ImageSink& take);
bool ReadFullDepthPNG(FILE* file, const char* fname, const ImageSink& take);

// The value pralen writes for a grey sample of 8 bits (16 times it) or 16 bits (itself).
inline uint16_t FullDepthValue(uint32_t sample, int bits) {
  return static_cast<uint16_t>(bits == 8 ? 16 * sample : sample);
}

// The name of a page in messages: "run.tif" for page 1, "run.tif, page 2" after it.
std::string PageName(const char* fname, int page);

#endif
