// The statistics of a series, gathered one field at a time (Welford's update): per grid
// point the number of valid vectors, the means of u and v and the sums of squared
// deviations and of the products of deviations, from which the sample standard deviations
// and the covariance (N - 1) follow. Only valid vectors (flag 1) count. The means of extra
// per-vector quantities are gathered over the valid vectors that have a value.
//
// Worked example: valid u = 1, 2, 4 and v = 0, 1, 1 at a point (a fourth, rejected vector
// left out) give N = 3, u_mean = 7/3, v_mean = 2/3, u_std = 1.5275, v_std = 0.57735 and
// uv_cov = ((1 - 7/3)(0 - 2/3) + (2 - 7/3)(1 - 2/3) + (4 - 7/3)(1 - 2/3)) / 2 = 2/3; a
// point with one valid vector has a mean but no deviation, one with none nothing.
#ifndef PIVSERIES_SERIESSTATISTICS_H
#define PIVSERIES_SERIESSTATISTICS_H

#include <string>
#include <vector>

#include "FieldFrame.h"
#include "FieldStatistics.h"

class SeriesStatistics {
 public:
  // Adds a field; every field must have the first one's number of points.
  void Add(const FieldFrame& frame);
  // The statistics so far (NaN where undefined).
  FieldStatistics Result() const;

 private:
  // The mean of an extra quantity.
  struct ExtraMean {
    ExtraField field;  // its name and units; values: the running means
    std::vector<long long> count;
  };
  void AddExtra(const FieldFrame& frame, const ExtraField& extra);

  size_t fields_ = 0;
  std::vector<long long> n_;
  std::vector<double> mean_u_, mean_v_, m2_u_, m2_v_, c_uv_;
  std::vector<ExtraMean> extras_;
};

#endif
