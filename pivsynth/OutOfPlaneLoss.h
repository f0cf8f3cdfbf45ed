// Particles that cross the light sheet between the exposures: each is seen in one image of
// its pair only, with a given probability, in the first or the second at even odds. The
// random numbers come from a stream of their own, so that the particles themselves (and the
// noise) are those of the same run without loss.
//
// Worked example: with fraction 0.25, of 40000 particles about 10000 are seen once, about
// 5000 of them in the first image only and 5000 in the second only; with fraction 0 every
// particle is seen in both and no random number is drawn.
#ifndef PIVSYNTH_OUTOFPLANELOSS_H
#define PIVSYNTH_OUTOFPLANELOSS_H

#include <cstdint>
#include <vector>

#include "ParticleRenderer.h"
#include "SynthRandom.h"

// The stream of the loss draws for a run's seed.
SynthRandom LossRandom(uint64_t seed);

// Marks each particle, with probability `fraction`, as seen in one image only. Draws two
// numbers per particle whatever the outcome, so that a particle's fate depends only on its
// place in the stream.
void MarkOutOfPlaneLoss(std::vector<Particle>& particles, double fraction, SynthRandom& random);

#endif
