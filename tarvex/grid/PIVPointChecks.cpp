// The two validation checks that judge a point by its own measurement alone.
#include <cmath>

#include "grid/PIVPoint.h"

namespace tarvex {

// Valid when the highest correlation peak reaches the point's minimum. A NaN peak fails
// the comparison; a point that was never measured holds no peak and is rejected.
bool PIVPoint::CCPeakValueCheck() {
  const bool valid = measured && static_cast<double>(Rho()) >= static_cast<double>(MinRho);
  setOn(valid ? 1 : 0);
  return valid;
}

// Valid when the displacement of the highest peak, without the window offset, is
// strictly shorter than the point's maximum.
bool PIVPoint::MaxVelCheck() {
  const double length = std::hypot(static_cast<double>(piv.dx[0]), static_cast<double>(piv.dy[0]));
  const bool valid = measured && length < static_cast<double>(MaxVel);
  setOn(valid ? 1 : 0);
  return valid;
}

}  // namespace tarvex
