// The TIFF side of the mask file, through libtiff (see MaskFile.h for what a mask is). The
// samples are read as stored (1 to 32 bits, strips or tiles), so that a 16-bit mask holding
// 0 and 1 keeps its ones.
#ifndef FORMATS_TIFFMASK_H
#define FORMATS_TIFFMASK_H

#include <string>

#include "MaskImage.h"

// Reads the first image of the TIFF file at path into mask; false with the reason.
bool ReadTiffMask(const std::string& path, MaskImage& mask, std::string& error);

#endif
