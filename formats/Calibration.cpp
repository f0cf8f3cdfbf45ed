#include "Calibration.h"

#include <cctype>
#include <cstdio>

namespace {

// Half a pixel: from a DPIV position to its window centre.
constexpr double kCentre = 0.5;

}  // namespace

double Calibration::X(double dpiv_x) const {
  return Given() ? (dpiv_x + kCentre - origin_x) / px_per_unit : dpiv_x + kCentre;
}

double Calibration::Y(double dpiv_y) const {
  return Given() ? (dpiv_y + kCentre - origin_y) / px_per_unit : dpiv_y + kCentre;
}

double Calibration::DpivX(double x) const { return Given() ? x * px_per_unit + origin_x - kCentre : x - kCentre; }

double Calibration::DpivY(double y) const { return Given() ? y * px_per_unit + origin_y - kCentre : y - kCentre; }

double Calibration::VelocityFactor() const { return Given() ? 1.0 / (px_per_unit * dt) : 1.0; }

std::string Calibration::LengthUnit() const { return Given() ? unit : "px"; }

std::string Calibration::VelocityUnit() const { return Given() ? unit + " s-1" : "px"; }

bool Calibration::SameAs(const Calibration& other) const {
  if (!Given() || !other.Given()) return Given() == other.Given();
  return px_per_unit == other.px_per_unit && unit == other.unit && dt == other.dt && origin_x == other.origin_x &&
         origin_y == other.origin_y;
}

std::string Calibration::Describe() const {
  if (!Given()) return "none (px)";
  char text[160];
  std::snprintf(text, sizeof text, "%g px per %s, dt %g s, origin (%g, %g) px", px_per_unit, unit.c_str(), dt,
                origin_x, origin_y);
  return text;
}

bool ValidUnitName(const std::string& unit) {
  if (unit.empty() || unit.size() > 32) return false;
  for (char c : unit)
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  return true;
}
