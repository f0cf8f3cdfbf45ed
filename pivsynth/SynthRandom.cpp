#include "SynthRandom.h"

#include <cmath>

uint64_t SynthRandom::Next() {
  state_ += 0x9e3779b97f4a7c15ULL;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

double SynthRandom::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double SynthRandom::Normal() {
  // 1 - Uniform() lies in (0, 1], so the logarithm is finite.
  const double u1 = 1.0 - Uniform();
  const double u2 = Uniform();
  const double twoPi = 6.283185307179586476925;
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(twoPi * u2);
}
