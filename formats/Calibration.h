// From pixels and frames to a length unit and seconds. Coordinates are window centres
// (DPIV position + 0.5) minus the origin, divided by the scale; velocities displacements
// divided by the scale and by the time between the two images. Without a calibration,
// coordinates are window centres in px and velocities displacements in px (per frame pair).
//
// Worked example: 20 px per mm, dt = 0.001 s, origin (100, 50) px: the point at DPIV
// position (15, 31) has its window centre at x = (15.5 - 100) / 20 = -4.225 mm and
// y = (31.5 - 50) / 20 = -0.925 mm, and a displacement of 2.5 px there is a velocity of
// 2.5 / 20 / 0.001 = 125 mm s-1. Uncalibrated, the same point lies at (15.5, 31.5) px and
// moves 2.5 px.
#ifndef FORMATS_CALIBRATION_H
#define FORMATS_CALIBRATION_H

#include <string>

struct Calibration {
  double px_per_unit = 0;            // 0: no calibration
  std::string unit;                  // the length unit's name, as in "mm"
  double dt = 0;                     // seconds between the images of a pair
  double origin_x = 0, origin_y = 0; // px

  bool Given() const { return px_per_unit > 0; }
  // The coordinates of the window centre of a point at a DPIV position, and back.
  double X(double dpiv_x) const;
  double Y(double dpiv_y) const;
  double DpivX(double x) const;
  double DpivY(double y) const;
  // What a displacement in px is multiplied by to give the velocity (1 uncalibrated).
  double VelocityFactor() const;
  // The units as the NetCDF files state them: "mm" and "mm s-1", or "px" and "px".
  std::string LengthUnit() const;
  std::string VelocityUnit() const;
  // The same calibration, value for value.
  bool SameAs(const Calibration& other) const;
  // "20 px per mm, dt 0.001 s, origin (100, 50) px", or "none (px)".
  std::string Describe() const;
};

// Whether a unit's name can be used: 1 to 32 letters (as "m", "mm", "um").
bool ValidUnitName(const std::string& unit);

#endif
