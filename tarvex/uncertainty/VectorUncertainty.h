// The ways a refined vector's standard uncertainty can be estimated from the last
// refinement pass, and the one that maps the peak ratio alone.
//
// Peak-ratio mapping: sigma = sqrt((A / R^B)^2 + C^2) px on each axis for a peak ratio R,
// with A = kPeakRatioScale, B = kPeakRatioPower, C = kPeakRatioFloor (fitted once on
// pivsynth pairs, see docs/uncertainty.md). Worked example: R = 2 gives
// sqrt((0.27 / 2^1.1)^2 + 0.01^2) = 0.1263 px; a large ratio leaves the floor, 0.01 px.
#ifndef VECTORUNCERTAINTY_H
#define VECTORUNCERTAINTY_H

#include "uncertainty/CorrelationStatistics.h"

namespace tarvex {

enum class UncertaintyMethod {
  None,                   // nothing computed, nothing kept
  CorrelationStatistics,  // the spread of the pixels' contributions (CorrelationStatistics.h)
  PeakRatio,              // the peak-ratio mapping above
};

constexpr double kPeakRatioScale = 1.2;
constexpr double kPeakRatioPower = 2.5;
constexpr double kPeakRatioFloor = 0.022;

// The mapping above, the same on both axes.
ComponentSigma PeakRatioSigma(float ratio);

}  // namespace tarvex

#endif
