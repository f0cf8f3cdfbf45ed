#include "ParticleMask.h"

#include "ParticleSeeding.h"

MaskedPixels::MaskedPixels(const MaskImage& mask)
    : width_(mask.Width()), height_(mask.Height()), before_(static_cast<size_t>(mask.Width() + 1) * mask.Height(), 0) {
  for (int y = 0; y < mask.Height(); ++y) {
    uint16_t* counts = &before_[static_cast<size_t>(y) * (width_ + 1)];
    for (int x = 0; x < width_; ++x) counts[x + 1] = static_cast<uint16_t>(counts[x] + (mask.Flow(x, y) ? 0 : 1));
  }
}

bool MaskedPixels::AnyIn(const PixelBox& box) const {
  for (int y = box.y0; y <= box.y1; ++y) {
    const uint16_t* counts = &before_[static_cast<size_t>(y) * (width_ + 1)];
    if (counts[box.x1 + 1] != counts[box.x0]) return true;
  }
  return false;
}

std::vector<Particle> ParticlesClearOfMask(const std::vector<Particle>& seeded, const DisplacementField& field,
                                           SynthScheme scheme, double diameter, const MaskedPixels& masked) {
  const auto lights_mask = [&](const Particle& p) {
    PixelBox box;
    return ParticleFootprint(p, diameter, masked.Width(), masked.Height(), box) && masked.AnyIn(box);
  };
  std::vector<Particle> clear;
  for (const Particle& p : seeded) {
    const ParticlePlaces placed = PlaceParticle(p, field, scheme);
    if (!lights_mask(placed.first) && !lights_mask(placed.second)) clear.push_back(p);
  }
  return clear;
}
