// The command lines of pivstats and pivexport: the output, the calibration, the displacement
// reference and the input files.
//
// Worked example: "-o s.nc --scale 20 --unit mm --dt 0.001 --origin 100 50 a.dpiv b.dpiv"
// gives output s.nc, 20 px per mm, dt 0.001 s, origin (100, 50) px and the two files;
// "--scale 20 --unit mm" alone is refused (the calibration needs --dt too).
#ifndef PIVSERIES_SERIESOPTIONS_H
#define PIVSERIES_SERIESOPTIONS_H

#include <string>
#include <vector>

#include "Calibration.h"

struct SeriesOptions {
  std::string output;       // -o
  std::string tecplot;      // --tec (pivstats only); empty for none
  Calibration calibration;  // not Given() without --scale, --unit and --dt
  std::string reference;    // --reference as the files say it; empty to take it from the inputs
  std::vector<std::string> files;
};

enum class SeriesParse { Run, Help, Error };

// The usage text's lines of the options both programs take (calibration, reference, help).
extern const char* const kSeriesOptionsUsage;
// The usage text's closing paragraph on units and refusals.
extern const char* const kSeriesUnitsUsage;

// Reads the arguments (without the program name); --tec only when tecplot is allowed.
SeriesParse ParseSeriesOptions(const std::vector<std::string>& args, bool tecplot, SeriesOptions& options,
                               std::string& error);

#endif
