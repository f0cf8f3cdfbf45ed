// The command line of pivplot.
#ifndef PIVPLOT_PLOTOPTIONS_H
#define PIVPLOT_PLOTOPTIONS_H

#include <string>
#include <vector>

struct PlotOptions {
  std::string dpiv;     // the DPIV file to draw
  std::string output;   // the picture to write
  std::string image;    // image-pair file of the background; empty for none
  int image_id = 0;     // image of that file, from 1
  double scale = 0;     // arrow pixels per pixel of displacement; 0 chooses it
  bool by_magnitude = false;
  bool svg = false;
};

enum class PlotParse { Run, Help, Error };

// Reads the arguments (without the program name); on Error, error names the fault.
PlotParse ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& options, std::string& error);

// The picture beside the DPIV file: name.0001.dpiv gives name.0001.png (or .svg).
std::string DefaultOutputName(const std::string& dpiv, bool svg);

const char* PlotUsage();

#endif
