// The statistics of a series, gathered one field at a time (Welford's update): per grid
// point the number of valid vectors, the means of u and v and the sums of squared
// deviations and of the products of deviations, from which the sample standard deviations
// and the covariance (N - 1) follow. Only valid vectors (flag 1) count. The means of extra
// per-vector quantities are gathered over the valid vectors that have a value.
//
// The uncertainty of a mean, when the fields carry each vector's standard uncertainty
// (sigma_u, sigma_v): the scatter of the series holds the flow's own fluctuation and the
// measurement's random error together, so u_mean's uncertainty is u_std / sqrt(N); but the
// scatter of a few vectors can come out smaller than the errors they are known to carry,
// and one vector has none, so it is never less than what the vectors' own uncertainties
// give: sqrt(max(u_std^2, mean of sigma_u^2) / N), sigma_u itself for N = 1. Worked example:
// u = 1, 2, 4 with sigma_u = 0.1 each give sqrt(max(2.3333, 0.01) / 3) = 0.8819; u = 2.00,
// 2.01 with sigma_u = 0.1 give sqrt(max(0.00005, 0.01) / 2) = 0.0707.
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
  // The mean of sigma^2 over the valid vectors with a value, of the extra `name`.
  void AddSquares(const FieldFrame& frame, const ExtraField& extra, std::vector<double>& mean,
                  std::vector<long long>& count);
  // sqrt(max(std^2, mean sigma^2) / N) per point, NaN without a valid vector or a sigma.
  std::vector<double> MeanUncertainty(const std::vector<double>& m2, const std::vector<double>& sigma2,
                                      const std::vector<long long>& count) const;

  size_t fields_ = 0;
  std::vector<long long> n_;
  std::vector<double> mean_u_, mean_v_, m2_u_, m2_v_, c_uv_;
  std::vector<ExtraMean> extras_;
  bool sigmas_ = false;  // a field carried sigma_u and sigma_v
  std::vector<double> sigma2_u_, sigma2_v_;
  std::vector<long long> sigma_count_u_, sigma_count_v_;
};

#endif
