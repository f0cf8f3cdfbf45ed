// The judgement the mask readers share: the samples of one row of a PNG or TIFF image turned
// into flow bytes, or the reason the image is no mask.
//
// Worked example: with 3 channels (red, green, blue) and opaque 255, the row
// 0 0 0 | 9 9 9 | 255 255 255 gives the flow bytes 0 1 1; a pixel 9 9 8 is refused as
// coloured. With 2 channels (grey, alpha) the pixel 0 255 gives 0, the pixel 40 254 is refused
// as not opaque.
#ifndef FORMATS_MASKSAMPLES_H
#define FORMATS_MASKSAMPLES_H

#include <cstdint>
#include <string>
#include <vector>

// How the samples of a pixel follow each other: 1 channel (grey), 2 (grey, alpha), 3 (red,
// green, blue) or 4 (red, green, blue, alpha); opaque is the alpha of a fully opaque pixel.
struct SampleLayout {
  int channels;
  uint32_t opaque;
};

// Judges the pixels of row y from column x0 on (samples holds layout.channels samples for
// each) into flow (one byte each: 1 for a grey level other than zero, 0 for zero). False with
// the reason when a pixel is coloured (its red, green and blue differ) or not opaque.
bool SamplesToFlow(const std::vector<uint32_t>& samples, const SampleLayout& layout, int x0, int y,
                   unsigned char* flow, std::string& error);

#endif
