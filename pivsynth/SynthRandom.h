// A small pseudo-random generator of our own, so that a given seed gives the same
// images with every compiler and standard library.
#ifndef PIVSYNTH_SYNTHRANDOM_H
#define PIVSYNTH_SYNTHRANDOM_H

#include <cstdint>

// SplitMix64: 64 bits of state, full period, good enough for seeding pictures.
class SynthRandom {
 public:
  explicit SynthRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [0, 1), with 53 random bits.
  double Uniform();
  // Standard normal deviate by the Box-Muller transform (one deviate per call).
  double Normal();

 private:
  uint64_t state_;
};

#endif
