// Keeps the masked regions of the images dark: a particle is left out of its pair when a pixel
// it would light, in the first image or in the second, is masked. Particles next to a mask
// stay, so the flow is seeded right up to it. The light inside the mask is then exactly zero
// before any noise is added, not merely below the rounding.
//
// Worked example: a 20 x 20 image with the pixel (10, 10) masked and particles of diameter
// 2.5 (reach 6, see ParticleFootprint): a particle at (3.9, 10) lights columns -3 to 9, clear
// of the mask, and stays; at (4.0, 10) it lights columns -2 to 10 and is left out. With a
// uniform shift of 2 px along x, the one at (3.9, 10) is at (5.9, 10) in the second image,
// lights columns -1 to 11 and is left out too.
#ifndef PIVSYNTH_PARTICLEMASK_H
#define PIVSYNTH_PARTICLEMASK_H

#include <cstdint>
#include <vector>

#include "DisplacementField.h"
#include "MaskImage.h"
#include "ParticleRenderer.h"
#include "TruthReference.h"

// Answers whether a box of pixels holds a masked one, from the count of masked pixels before
// each column of each row (so a box of h rows costs 2h look-ups).
class MaskedPixels {
 public:
  explicit MaskedPixels(const MaskImage& mask);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Whether a masked pixel lies in the box (which lies inside the mask).
  bool AnyIn(const PixelBox& box) const;

 private:
  int width_, height_;
  std::vector<uint16_t> before_;  // (width + 1) counts per row; a row has at most 5000 pixels
};

// The seeded particles whose footprints in both images, placed by the field in the scheme
// (see PlaceParticle), hold no masked pixel.
std::vector<Particle> ParticlesClearOfMask(const std::vector<Particle>& seeded, const DisplacementField& field,
                                           SynthScheme scheme, double diameter, const MaskedPixels& masked);

#endif
