// What the tests of pivsynth share: the light-weighted centre of a rendered image, and the
// images of an image-pair file read back by hand from its bytes.
#ifndef PIVSYNTHTESTSUPPORT_H
#define PIVSYNTHTESTSUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "ParticleRenderer.h"

struct Centroid {
  double x = 0.0, y = 0.0, sum = 0.0;
};

// The centre of the image's light and its sum.
Centroid CentroidOf(const IntensityImage& image);

struct PairFile {
  int width = 0, height = 0;
  std::vector<std::vector<uint16_t>> images;
};

// The header and every whole image of an image-pair file (little-endian 16-bit values).
PairFile ReadPairFile(const std::string& path);

#endif
