// The statistics of a series of fields per grid point, as pivstats computes them and its
// NetCDF and Tecplot files hold them (StatisticsNetcdf.h, StatisticsTecplot.h).
#ifndef FORMATS_FIELDSTATISTICS_H
#define FORMATS_FIELDSTATISTICS_H

#include <cstddef>
#include <vector>

#include "FieldFrame.h"

// In px (px^2 for the covariance), one value per point in grid order; NaN where undefined.
struct FieldStatistics {
  size_t fields = 0;  // fields read
  std::vector<int> n_valid;
  std::vector<double> u_mean, v_mean, u_std, v_std, uv_cov;
  // The standard uncertainty of u_mean and v_mean, when the fields carry each vector's
  // (sigma_u, sigma_v); empty otherwise (see SeriesStatistics.h).
  std::vector<double> u_mean_uncertainty, v_mean_uncertainty;
  std::vector<ExtraField> extra_means;  // named as the extra quantity itself
};

#endif
