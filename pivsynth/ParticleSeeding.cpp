#include "ParticleSeeding.h"

#include <algorithm>
#include <cmath>

#include "SynthRandom.h"

double SeedMargin(const DisplacementField& field, int width, int height, double diameter) {
  const double reach = ParticleReach(diameter);
  const double limit = std::max(width, height) / 2.0 + reach;
  // The displacement can grow with the distance from the centre (rotation, shear), so
  // grow the band until the fastest particle in it can no longer reach past it.
  double margin = reach;
  for (int round = 0; round < 64; ++round) {
    const SeedArea a = SeedingArea(width, height, margin);
    const double need = std::ceil(MaxDisplacement(field, a.x0, a.y0, a.x1, a.y1)) + reach;
    if (need <= margin) break;
    margin = std::min(need, limit);
    if (margin >= limit) break;
  }
  return margin;
}

SeedArea SeedingArea(int width, int height, double margin) {
  SeedArea a;
  a.x0 = -0.5 - margin;
  a.y0 = -0.5 - margin;
  a.x1 = width - 0.5 + margin;
  a.y1 = height - 0.5 + margin;
  return a;
}

long long ParticleCount(double density, const SeedArea& area) { return std::llround(density * area.Area()); }

std::vector<Particle> SeedParticles(const SeedArea& area, long long count, SynthRandom& random) {
  std::vector<Particle> particles(static_cast<size_t>(std::max(0LL, count)));
  for (Particle& p : particles) {
    p.x = area.x0 + random.Uniform() * (area.x1 - area.x0);
    p.y = area.y0 + random.Uniform() * (area.y1 - area.y0);
    p.peak = kPeakMean * (1.0 + kPeakSpread * (2.0 * random.Uniform() - 1.0));
  }
  return particles;
}

ParticlePlaces PlaceParticle(const Particle& seeded, const DisplacementField& field, SynthScheme scheme) {
  ParticlePlaces placed{seeded, seeded};
  const Displacement d = DisplacementAt(field, seeded.x, seeded.y);
  if (scheme == SynthScheme::First) {
    placed.second.x += d.dx;
    placed.second.y += d.dy;
  } else {
    placed.first.x -= 0.5 * d.dx;
    placed.first.y -= 0.5 * d.dy;
    placed.second.x += 0.5 * d.dx;
    placed.second.y += 0.5 * d.dy;
  }
  return placed;
}
