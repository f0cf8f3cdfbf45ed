// A field to draw, from a DPIV file or from a NetCDF file of NetcdfLayout.h: a field file
// (the field at a time step: u and v, valid where flag is 1) or a statistics file (the mean
// u_mean, v_mean, drawn where it is defined). Positions stay in image pixels, so that the
// picture, the image and the mask line up as for a DPIV file; the vectors are in the file's
// units (px, or the unit per second of a calibrated file). A colour map of a variable of a
// NetCDF file is read by name, at the same time step.
//
// Worked example: a statistics file of a 15 x 15 grid from (15, 15) every 16 px, calibrated
// at 20 px per mm with velocities in mm s-1, gives a field of 225 vectors at x = 15, 31, ...
// px, valid where u_mean has a value, with the units "mm s-1" (vectors and speed), "s-1"
// (vorticity) and 20 px per length unit; --color u_std reads u_std into the colour grid with
// the label "u_std (mm s-1)".
#ifndef PIVPLOT_PLOTINPUT_H
#define PIVPLOT_PLOTINPUT_H

#include <string>

#include "DerivedField.h"
#include "DpivFile.h"
#include "PlotUnits.h"
#include "Quantity.h"

struct PlotInput {
  VectorField field;
  PlotUnits units;
  bool statistics = false;  // a statistics file: points without a mean are not drawn
  std::string title;        // the default title
};

// Reads the field of path (a DPIV or a NetCDF file, told apart by content); step picks the
// field of a NetCDF field file. With variable not empty, also reads that variable into
// colour (and its label into quantity); a DPIV file has none.
bool ReadPlotInput(const std::string& path, size_t step, const std::string& variable, PlotInput& input,
                   ScalarGrid& colour, ColourQuantity& quantity, std::string& error);

#endif
