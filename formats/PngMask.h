// The PNG side of the mask file, through libpng (see MaskFile.h for what a mask is).
#ifndef FORMATS_PNGMASK_H
#define FORMATS_PNGMASK_H

#include <cstdio>
#include <string>

#include "MaskImage.h"

// Reads the PNG image of file (positioned at its start) into mask; false with the reason.
bool ReadPngMask(FILE* file, MaskImage& mask, std::string& error);

// Writes mask to file as an 8-bit greyscale PNG, 255 for flow and 0 for none; false with the
// reason.
bool WritePngMask(FILE* file, const MaskImage& mask, std::string& error);

#endif
