// The command line of pivplot.
#ifndef PIVPLOT_PLOTOPTIONS_H
#define PIVPLOT_PLOTOPTIONS_H

#include <string>
#include <vector>

#include "PictureFile.h"
#include "Quantity.h"

struct PlotOptions {
  std::vector<std::string> dpiv;     // the DPIV or NetCDF files to draw, one picture each
  std::vector<std::string> outputs;  // the picture of each
  std::string image;                 // image-pair file of the background; empty for none
  int image_id = 0;                  // image of that file, from 1
  std::string mask;                  // mask file whose pixels without flow are shaded; empty for none
  double scale = 0;                  // arrow pixels per pixel of displacement; 0 chooses it
  bool by_magnitude = false;
  PictureFormat format = PictureFormat::Png;
  Quantity colour = Quantity::None;  // the colour map's quantity
  std::string colour_variable;       // the NetCDF variable of Quantity::Variable
  size_t step = 0;                   // the field (time index) of a NetCDF file of several
  bool cells = false;                // colour map as cells instead of smooth
  double opacity = 0.6;              // of the colour map over the image
  bool decorations = true;
  bool title_given = false;
  std::string title;
  int every = 1;                     // draw every N-th vector along both directions
  bool show_rejected = true;
  bool fixed_range = false;          // one colour range and arrow scale for all pictures
};

enum class PlotParse { Run, Help, Error };

// Reads the arguments (without the program name); on Error, error names the fault.
PlotParse ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& options, std::string& error);

// The picture beside the field file: name.0001.dpiv gives name.0001.png (.svg, .pdf), and
// so does name.0001.nc.
std::string DefaultOutputName(const std::string& dpiv, PictureFormat format);

const char* PlotUsage();

#endif
