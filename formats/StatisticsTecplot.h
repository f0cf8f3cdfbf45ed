// The statistics of a series as a Tecplot point file, for Tecplot users: the variables
// named as in the NetCDF statistics file, with their units, one line per point in grid
// order. Undefined values are written as 0 (n_valid tells them apart).
//
// Worked example: a 2 x 1 grid, uncalibrated, with u_mean = 2.5 px at the first point and
// no valid vector at the second, begins
//   TITLE="pivstats: statistics of 3 fields"
//   VARIABLES="x (px)" "y (px)" "u_mean (px)" "v_mean (px)" "u_std (px)" "v_std (px)" "uv_cov (px2)" "n_valid"
//   ZONE F = POINT, I=          2, J=          1
// and the second point (window centre 31.5, 15.5) is the line
//   31.5 15.5 0.000000e+00 0.000000e+00 0.000000e+00 0.000000e+00 0.000000e+00 0
#ifndef FORMATS_STATISTICSTECPLOT_H
#define FORMATS_STATISTICSTECPLOT_H

#include <string>

#include "Calibration.h"
#include "DpivFile.h"
#include "FieldGrid.h"
#include "FieldStatistics.h"

WriteStatus WriteStatisticsTecplot(const std::string& path, const FieldGrid& grid, const Calibration& calibration,
                                   const FieldStatistics& statistics, std::string& error);

#endif
