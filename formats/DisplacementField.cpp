#include "DisplacementField.h"

#include <algorithm>
#include <cmath>

#include "EnumNames.h"

namespace {

const double kTwoPi = 6.283185307179586476925;

// Tangential displacement divided by the radius, so that the displacement is
// factor * (-(y - cy), x - cx). Finite at the centre, where both profiles turn
// into solid rotation.
double VortexFactor(const DisplacementField& f, double r2) {
  const double core2 = f.core * f.core;
  const double solid = f.gamma / (kTwoPi * core2);
  if (f.profile == VortexProfile::Rankine) return r2 <= core2 ? solid : f.gamma / (kTwoPi * r2);
  const double q = r2 / core2;
  if (q < 1e-12) return solid;
  return f.gamma / (kTwoPi * r2) * -std::expm1(-q);
}

}  // namespace

Displacement DisplacementAt(const DisplacementField& f, double x, double y) {
  Displacement d;
  const double rx = x - f.cx, ry = y - f.cy;
  switch (f.kind) {
    case FieldKind::Uniform:
      d.dx = f.dx;
      d.dy = f.dy;
      break;
    case FieldKind::Rotation:
      d.dx = -f.omega * ry;
      d.dy = f.omega * rx;
      break;
    case FieldKind::Vortex: {
      const double k = VortexFactor(f, rx * rx + ry * ry);
      d.dx = -k * ry;
      d.dy = k * rx;
      break;
    }
    case FieldKind::Shear:
      d.dx = f.shear * ry;
      break;
    case FieldKind::Sine:
      d.dx = f.dx;
      d.dy = f.dy;
      if (f.direction == WaveDirection::X)
        d.dy += f.amplitude * std::sin(kTwoPi * x / f.wavelength);
      else
        d.dx += f.amplitude * std::sin(kTwoPi * y / f.wavelength);
      break;
  }
  return d;
}

double MaxDisplacement(const DisplacementField& f, double x0, double y0, double x1, double y1) {
  const double farX = std::max(std::fabs(x0 - f.cx), std::fabs(x1 - f.cx));
  const double farY = std::max(std::fabs(y0 - f.cy), std::fabs(y1 - f.cy));
  switch (f.kind) {
    case FieldKind::Uniform:
      return std::hypot(f.dx, f.dy);
    // A field at rest moves nothing however far its centre lies, where 0 times an
    // overflowing distance would be NaN.
    case FieldKind::Rotation:
      return f.omega == 0.0 ? 0.0 : std::fabs(f.omega) * std::hypot(farX, farY);
    case FieldKind::Vortex:
      // Both profiles peak at or inside |gamma| / (2 pi core).
      return std::fabs(f.gamma) / (kTwoPi * f.core);
    case FieldKind::Shear:
      return f.shear == 0.0 ? 0.0 : std::fabs(f.shear) * farY;
    case FieldKind::Sine:
      // The wave adds at most its amplitude across the direction it varies along.
      return f.direction == WaveDirection::X ? std::hypot(f.dx, std::fabs(f.dy) + std::fabs(f.amplitude))
                                             : std::hypot(std::fabs(f.dx) + std::fabs(f.amplitude), f.dy);
  }
  return 0.0;
}

const char* FieldKindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::Uniform: return "uniform";
    case FieldKind::Rotation: return "rotation";
    case FieldKind::Vortex: return "vortex";
    case FieldKind::Shear: return "shear";
    case FieldKind::Sine: return "sine";
  }
  return "uniform";
}

bool ParseFieldKind(const std::string& text, FieldKind& kind) {
  return ParseName(text,
                   {FieldKind::Uniform, FieldKind::Rotation, FieldKind::Vortex, FieldKind::Shear, FieldKind::Sine},
                   FieldKindName, kind);
}

const char* VortexProfileName(VortexProfile profile) {
  return profile == VortexProfile::Rankine ? "rankine" : "lamb-oseen";
}

bool ParseVortexProfile(const std::string& text, VortexProfile& profile) {
  return ParseName(text, {VortexProfile::Rankine, VortexProfile::LambOseen}, VortexProfileName, profile);
}

const char* WaveDirectionName(WaveDirection direction) { return direction == WaveDirection::X ? "x" : "y"; }

bool ParseWaveDirection(const std::string& text, WaveDirection& direction) {
  return ParseName(text, {WaveDirection::X, WaveDirection::Y}, WaveDirectionName, direction);
}
