// The mask file: an image of the images' size, nonzero where there is flow and zero where
// there is none, read from a PNG image, a TIFF image or an image-pair file (its first image),
// whichever the file is by its content (its name does not matter). Rows are taken in the
// order the file stores them: the first stored row is row 0, the top of a PNG or TIFF picture
// as a viewer shows it, and the first row of an image-pair file.
//
// A pixel is flow when its grey level is not zero. Greyscale images of any bit depth are read
// as they are; palette and colour images only where every pixel is grey (red, green and blue
// equal), and images with transparency only where every pixel is opaque. Anything else is
// refused rather than guessed: a coloured or transparent pixel, floating-point or YCbCr TIFF
// samples, a TIFF image not stored top row first, a side above 5000 px, a damaged file.
//
// Worked example: a 3 x 2 16-bit greyscale PNG with the rows 0 1 65535 / 0 0 7 reads as the
// mask 0 1 1 / 0 0 1 (kind Png, MaskedCount() 3); the same values as an image-pair file (the
// bytes 03 00 02 00, then 00 00 01 00 ff ff 00 00 00 00 07 00) read the same. An 8-bit RGB
// PNG with a pixel (200, 200, 201) is refused: "pixel (0, 0) is coloured (200, 200, 201)".
// pivsynth writes its mask as an 8-bit greyscale PNG: 255 for flow, 0 for none.
#ifndef FORMATS_MASKFILE_H
#define FORMATS_MASKFILE_H

#include <string>

#include "MaskImage.h"

enum class MaskFileKind { ImagePair, Tiff, Png };

// "image-pair file", "TIFF" or "PNG".
const char* MaskFileKindName(MaskFileKind kind);

// Reads the mask file at path into mask (its own size; the caller compares it with the
// images) and tells its kind; on failure false with a one-line reason naming the file.
bool ReadMaskFile(const std::string& path, MaskImage& mask, MaskFileKind& kind, std::string& error);

// Writes mask as an 8-bit greyscale PNG, 255 for flow and 0 for none; the file appears only
// when complete (see AtomicFile). On failure false with a one-line reason.
bool WriteMaskPng(const std::string& path, const MaskImage& mask, std::string& error);

#endif
