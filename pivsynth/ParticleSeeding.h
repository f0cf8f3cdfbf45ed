// Places the particles of a pair: uniformly at random over the image area grown by a
// margin, so that particles from outside move into view as they would in a real flow.
#ifndef PIVSYNTH_PARTICLESEEDING_H
#define PIVSYNTH_PARTICLESEEDING_H

#include <vector>

#include "DisplacementField.h"
#include "ParticleRenderer.h"
#include "TruthReference.h"

class SynthRandom;

struct SeedArea {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  double Area() const { return (x1 - x0) * (y1 - y0); }
};

// Mean peak intensity of a particle in counts, and its relative spread: each peak is
// drawn uniformly from kPeakMean * (1 +- kPeakSpread).
const double kPeakMean = 2500.0;
const double kPeakSpread = 0.4;

// Width in pixels of the band around the image from which particles can move into view
// (or be drawn partly into it). Limited to half the larger image side plus the
// particle's reach, which only a field far beyond small displacements would need.
double SeedMargin(const DisplacementField& field, int width, int height, double diameter);

// The pixel areas of the image, [-0.5, width - 0.5] x [-0.5, height - 0.5], grown by margin.
SeedArea SeedingArea(int width, int height, double margin);

// Number of particles for a seeding density in particles per pixel.
long long ParticleCount(double density, const SeedArea& area);

std::vector<Particle> SeedParticles(const SeedArea& area, long long count, SynthRandom& random);

// Where a particle lies in the two images of its pair.
struct ParticlePlaces {
  Particle first, second;
};

// A seeded particle placed by the scheme: `first` keeps it at its seeded position p in the
// first image and moves it to p + u(p) in the second; `symmetric` puts it at p - F(p)/2 and
// p + F(p)/2. Example: a uniform shift of (1, -0.5) px takes a particle seeded at (10, 20) to
// (10, 20) and (11, 19.5) in the first scheme, to (9.5, 20.25) and (10.5, 19.75) in the
// symmetric one.
ParticlePlaces PlaceParticle(const Particle& seeded, const DisplacementField& field, SynthScheme scheme);

#endif
