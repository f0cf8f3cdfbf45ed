#include "AnalysisSettings.h"

#include "correlation/PlanTableSizes.h"

namespace tarvex {

int GridCount(int side, int window, int spacing) {
  return side >= window ? (side - window) / spacing + 1 : 0;
}

bool UsableFirstWindow(int window, int fftx, int ffty) {
  return window > fftx && window > ffty && HasTablePlan(window);
}

bool Preprocesses(const AnalysisSettings& s) {
  return s.subtractBackground || s.highPassSize > 0 || s.capIntensity;
}

}  // namespace tarvex
