// The picture's background: one image of an image-pair file in grey, contrast-stretched
// so that its darkest pixel is black and its brightest white.
#ifndef PIVPLOT_BACKGROUND_H
#define PIVPLOT_BACKGROUND_H

#include <memory>
#include <string>

#include "Raster.h"

// Reads image id (from 1) of the image-pair file at path into a new raster of the
// image's size; on failure returns null with the reason in error.
std::unique_ptr<Raster> LoadBackground(const std::string& path, int id, std::string& error);

// Grey level of pixel value p for an image whose values span lo to hi; a flat image is black.
unsigned char StretchedGrey(unsigned p, unsigned lo, unsigned hi);

#endif
