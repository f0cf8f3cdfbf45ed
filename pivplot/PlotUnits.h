// The units a picture states: those of a DPIV file (px, px/frame, 1/frame), or those of a
// calibrated NetCDF file. Example: with 20 px per mm and velocities in mm s-1, the reference
// arrow reads "50 mm s-1", speed is in mm s-1 and vorticity in s-1, and a derivative over
// one grid spacing of 16 px is taken over 0.8 mm.
#ifndef PIVPLOT_PLOTUNITS_H
#define PIVPLOT_PLOTUNITS_H

#include <string>

struct PlotUnits {
  std::string vector = "px";          // of the arrows' vectors: the reference arrow and the scale
  std::string velocity = "px/frame";  // of speed, u and v on the colour bar
  std::string rate = "1/frame";       // of vorticity and divergence
  double px_per_length = 1;           // image pixels per length unit of the coordinates
};

#endif
