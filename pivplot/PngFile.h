// PNG encoding of a raster through libpng.
#ifndef PIVPLOT_PNGFILE_H
#define PIVPLOT_PNGFILE_H

#include <string>

#include "Raster.h"

// Encodes the raster as an 8-bit RGB PNG into png; on failure returns false with the
// reason in error.
bool EncodePng(const Raster& raster, std::string& png, std::string& error);

#endif
