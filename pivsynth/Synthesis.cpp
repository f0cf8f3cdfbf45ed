#include "Synthesis.h"

#include <optional>

#include "MaskRegion.h"
#include "OutOfPlaneLoss.h"
#include "ParticleMask.h"
#include "ParticleSeeding.h"
#include "SceneLightImages.h"
#include "SynthRandom.h"
#include "TruthFile.h"

void RenderPair(const std::vector<Particle>& seeded, const DisplacementField& field, SynthScheme scheme,
                double diameter, IntensityImage& first, IntensityImage& second) {
  // Each image receives its particles in the order seeded, whatever the other one holds.
  for (const Particle& p : seeded) {
    const ParticlePlaces placed = PlaceParticle(p, field, scheme);
    if (p.inFirst) first.AddParticle(placed.first, diameter);
    if (p.inSecond) second.AddParticle(placed.second, diameter);
  }
}

namespace {

SeedArea RecordSeedArea(const TruthRecord& o) {
  return SeedingArea(o.width, o.height, SeedMargin(o.field, o.width, o.height, o.diameter));
}

}  // namespace

long long ParticlesPerPair(const TruthRecord& record) { return ParticleCount(record.density, RecordSeedArea(record)); }

bool RenderImages(const TruthRecord& o, const std::function<bool(const std::vector<uint16_t>&)>& take) {
  const SeedArea area = RecordSeedArea(o);
  const long long count = ParticleCount(o.density, area);
  // Every particle is seeded before the mask removes some, so that the random numbers, and
  // the particles the mask leaves, are those of the same images without a mask.
  std::optional<MaskedPixels> masked;
  if (!o.masks.empty()) masked.emplace(RasterizeMask(o.masks, o.width, o.height));
  const SceneLightImages light(o.light, o.width, o.height);
  SynthRandom random(o.seed);
  SynthRandom lossRandom = LossRandom(o.seed);
  for (int pair = 0; pair < o.pairs; ++pair) {
    IntensityImage first(o.width, o.height), second(o.width, o.height);
    std::vector<Particle> particles = SeedParticles(area, count, random);
    MarkOutOfPlaneLoss(particles, o.loss, lossRandom);
    if (masked) particles = ParticlesClearOfMask(particles, o.field, o.scheme, o.diameter, *masked);
    RenderPair(particles, o.field, o.scheme, o.diameter, first, second);
    light.Apply(first);
    light.Apply(second);
    first.AddNoise(o.noise, random);
    second.AddNoise(o.noise, random);
    for (const IntensityImage* image : {&first, &second})
      if (!take(image->Quantize())) return false;
  }
  return true;
}
