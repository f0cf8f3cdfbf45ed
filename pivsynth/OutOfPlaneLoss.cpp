#include "OutOfPlaneLoss.h"

namespace {

// Set apart from the seed of the particles' stream ("lossrand" in ASCII).
constexpr uint64_t kLossStream = 0x6c6f737372616e64ULL;

}  // namespace

SynthRandom LossRandom(uint64_t seed) { return SynthRandom(seed ^ kLossStream); }

void MarkOutOfPlaneLoss(std::vector<Particle>& particles, double fraction, SynthRandom& random) {
  if (fraction <= 0.0) return;
  for (Particle& p : particles) {
    const bool lost = random.Uniform() < fraction;
    const bool keepsFirst = random.Uniform() < 0.5;
    p.inFirst = !lost || keepsFirst;
    p.inSecond = !lost || !keepsFirst;
  }
}
