// Settings the library's tests analyse with: 32 x 32 windows every 16 px, and the same with
// `passes` deformation passes and their estimator (three-point Gaussian, window means
// subtracted), as tarvex -dft 32 -gspac 16 16 -deform N sets them.
#ifndef ANALYSISPRESETS_H
#define ANALYSISPRESETS_H

#include "AnalysisSettings.h"

namespace tarvex {

inline AnalysisSettings Windows32At16() {
  AnalysisSettings s;
  s.windowWidth = s.windowHeight = 32;
  s.spacingX = s.spacingY = 16;
  return s;
}

inline AnalysisSettings Deformation32At16(int passes) {
  AnalysisSettings s = Windows32At16();
  s.subpix = SubPixelEstimator::Gauss3;
  s.meanSubtraction = true;
  s.deformPasses = passes;
  return s;
}

}  // namespace tarvex

#endif
