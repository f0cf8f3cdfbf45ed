#include "uncertainty/VectorUncertainty.h"

#include <cmath>

namespace tarvex {

ComponentSigma PeakRatioSigma(float ratio) {
  const double spread = kPeakRatioScale / std::pow(static_cast<double>(ratio), kPeakRatioPower);
  const float sigma = static_cast<float>(std::sqrt(spread * spread + kPeakRatioFloor * kPeakRatioFloor));
  return {sigma, sigma};
}

}  // namespace tarvex
