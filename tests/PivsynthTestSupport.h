// What the tests of pivsynth share: the light-weighted centre of a rendered image, the
// images of an image-pair file read back by hand from its bytes, the largest displacement of a
// field found by brute force, and a refused command line.
#ifndef PIVSYNTHTESTSUPPORT_H
#define PIVSYNTHTESTSUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "DisplacementField.h"
#include "ParticleRenderer.h"
#include "TestSupport.h"

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

// The largest displacement of the field on a grid of the step over [x0, x1] x [y0, y1].
double LargestDisplacement(const DisplacementField& field, double x0, double y0, double x1, double y1, double step);

// Runs pivsynth with args in dir and expects status 1, nothing on standard output and on
// standard error the line given (with its newline), then the hint at --help.
void ExpectPivsynthRefusal(const TempDir& dir, const std::vector<std::string>& args, const std::string& line);

#endif
