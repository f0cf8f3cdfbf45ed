#include "TruthReference.h"

#include <cmath>

#include "EnumNames.h"

namespace {

constexpr int kStepLimit = 200;
constexpr double kTolerance = 1e-9;  // pixels, between two steps

// Solves d = field(q + side * d / 2) by fixed-point steps from d = field(q): side -1 finds the
// displacement of the particle whose path has its midpoint at q from a field given at
// first-image positions, side +1 that of the particle starting at q from a field given at
// the midpoints.
bool SolveAlongPath(const DisplacementField& field, double x, double y, double side, Displacement& d) {
  Displacement current = DisplacementAt(field, x, y);
  for (int step = 0; step < kStepLimit; ++step) {
    const Displacement next = DisplacementAt(field, x + 0.5 * side * current.dx, y + 0.5 * side * current.dy);
    const double change = std::hypot(next.dx - current.dx, next.dy - current.dy);
    current = next;
    if (!std::isfinite(change)) return false;
    if (change <= kTolerance) {
      d = current;
      return true;
    }
  }
  return false;
}

}  // namespace

const char* SynthSchemeName(SynthScheme scheme) { return scheme == SynthScheme::First ? "first" : "symmetric"; }

bool ParseSynthScheme(const std::string& text, SynthScheme& scheme) {
  return ParseName(text, {SynthScheme::First, SynthScheme::Symmetric}, SynthSchemeName, scheme);
}

const char* ReferencePointName(ReferencePoint reference) {
  return reference == ReferencePoint::Midpoint ? "midpoint" : "first";
}

bool ParseReferencePoint(const std::string& text, ReferencePoint& reference) {
  return ParseName(text, {ReferencePoint::Midpoint, ReferencePoint::First}, ReferencePointName, reference);
}

bool ReferredDisplacement(const DisplacementField& field, SynthScheme scheme, ReferencePoint reference, double x,
                          double y, Displacement& d) {
  const bool given = (scheme == SynthScheme::First) == (reference == ReferencePoint::First);
  if (given) {
    d = DisplacementAt(field, x, y);
    return true;
  }
  return SolveAlongPath(field, x, y, scheme == SynthScheme::First ? -1.0 : 1.0, d);
}
