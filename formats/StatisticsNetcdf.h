// The NetCDF statistics file of a series: per grid point, on (y, x), the mean, the sample
// standard deviation (N - 1) of u and v, their sample covariance <u'v'> (N - 1) and the
// number of valid vectors N, with the coordinates and global attributes of NetcdfLayout.h
// and the number of fields. The means of extra per-vector quantities are NAME_mean.
// Undefined values (no valid vector; a single one for the deviations and the covariance)
// are the variable's _FillValue.
//
// Worked example: valid u = 1, 2, 4 px at a point give u_mean = 7/3, u_std =
// sqrt(((1 - 7/3)^2 + (2 - 7/3)^2 + (4 - 7/3)^2) / 2) = 1.5275 px, n_valid = 3; with 20 px per
// mm and dt = 0.001 s, u_mean = 116.67 mm s-1, u_std = 76.376 mm s-1, and a covariance of
// 0.5 px^2 is 1250 mm2 s-2.
#ifndef FORMATS_STATISTICSNETCDF_H
#define FORMATS_STATISTICSNETCDF_H

#include <string>
#include <vector>

#include "Calibration.h"
#include "DpivFile.h"
#include "FieldFrame.h"
#include "FieldStatistics.h"
#include "FieldGrid.h"

// Writes the statistics in the calibration's units.
WriteStatus WriteStatisticsFile(const std::string& path, const FieldGrid& grid, const Calibration& calibration,
                                const FieldMetadata& metadata, const FieldStatistics& statistics, std::string& error);

#endif
