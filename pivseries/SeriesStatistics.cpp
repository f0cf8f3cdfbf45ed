#include "SeriesStatistics.h"

#include <algorithm>
#include <cmath>

void SeriesStatistics::Add(const FieldFrame& frame) {
  const size_t points = frame.vectors.size();
  if (fields_ == 0) {
    n_.assign(points, 0);
    mean_u_.assign(points, 0.0);
    mean_v_.assign(points, 0.0);
    m2_u_.assign(points, 0.0);
    m2_v_.assign(points, 0.0);
    c_uv_.assign(points, 0.0);
  }
  fields_++;
  for (size_t k = 0; k < points && k < n_.size(); k++) {
    const VectorRecord& r = frame.vectors[k];
    if (!r.valid) continue;
    const double n = static_cast<double>(++n_[k]);
    const double du = r.u - mean_u_[k], dv = r.v - mean_v_[k];
    mean_u_[k] += du / n;
    mean_v_[k] += dv / n;
    m2_u_[k] += du * (r.u - mean_u_[k]);
    m2_v_[k] += dv * (r.v - mean_v_[k]);
    c_uv_[k] += du * (r.v - mean_v_[k]);
  }
  for (const ExtraField& extra : frame.extras) {
    AddExtra(frame, extra);
    if (extra.name == "sigma_u") AddSquares(frame, extra, sigma2_u_, sigma_count_u_);
    if (extra.name == "sigma_v") AddSquares(frame, extra, sigma2_v_, sigma_count_v_);
  }
}

void SeriesStatistics::AddSquares(const FieldFrame& frame, const ExtraField& extra, std::vector<double>& mean,
                                  std::vector<long long>& count) {
  const size_t points = n_.size();
  if (extra.values.size() != points) return;
  if (mean.empty()) {
    mean.assign(points, 0.0);
    count.assign(points, 0);
  }
  sigmas_ = true;
  for (size_t k = 0; k < points; k++) {
    const double value = extra.values[k];
    if (!frame.vectors[k].valid || std::isnan(value)) continue;
    mean[k] += (value * value - mean[k]) / static_cast<double>(++count[k]);
  }
}

std::vector<double> SeriesStatistics::MeanUncertainty(const std::vector<double>& m2, const std::vector<double>& sigma2,
                                                      const std::vector<long long>& count) const {
  const size_t points = n_.size();
  std::vector<double> result(points, NAN);
  for (size_t k = 0; k < points && k < sigma2.size(); k++) {
    const long long n = n_[k];
    if (n < 1 || count[k] == 0) continue;
    const double scatter = n >= 2 ? m2[k] / static_cast<double>(n - 1) : 0.0;
    result[k] = std::sqrt(std::max(scatter, sigma2[k]) / static_cast<double>(n));
  }
  return result;
}

void SeriesStatistics::AddExtra(const FieldFrame& frame, const ExtraField& extra) {
  const size_t points = n_.size();
  if (extra.values.size() != points) return;
  ExtraMean* mean = nullptr;
  for (ExtraMean& known : extras_)
    if (known.field.name == extra.name) mean = &known;
  if (mean == nullptr) {
    extras_.push_back({ExtraField{extra.name, extra.long_name, extra.velocity, extra.units, std::vector<double>(points)},
                       std::vector<long long>(points)});
    mean = &extras_.back();
  }
  for (size_t k = 0; k < points; k++) {
    const double value = extra.values[k];
    if (!frame.vectors[k].valid || std::isnan(value)) continue;
    const double n = static_cast<double>(++mean->count[k]);
    mean->field.values[k] += (value - mean->field.values[k]) / n;
  }
}

FieldStatistics SeriesStatistics::Result() const {
  FieldStatistics s;
  const size_t points = n_.size();
  s.fields = fields_;
  s.n_valid.resize(points);
  s.u_mean.assign(points, NAN);
  s.v_mean.assign(points, NAN);
  s.u_std.assign(points, NAN);
  s.v_std.assign(points, NAN);
  s.uv_cov.assign(points, NAN);
  for (size_t k = 0; k < points; k++) {
    const long long n = n_[k];
    s.n_valid[k] = static_cast<int>(n);
    if (n >= 1) {
      s.u_mean[k] = mean_u_[k];
      s.v_mean[k] = mean_v_[k];
    }
    if (n >= 2) {
      const double dof = static_cast<double>(n - 1);
      s.u_std[k] = std::sqrt(m2_u_[k] / dof);
      s.v_std[k] = std::sqrt(m2_v_[k] / dof);
      s.uv_cov[k] = c_uv_[k] / dof;
    }
  }
  if (sigmas_) {
    s.u_mean_uncertainty = MeanUncertainty(m2_u_, sigma2_u_, sigma_count_u_);
    s.v_mean_uncertainty = MeanUncertainty(m2_v_, sigma2_v_, sigma_count_v_);
  }
  for (const ExtraMean& mean : extras_) {
    ExtraField field = mean.field;
    for (size_t k = 0; k < points; k++)
      if (mean.count[k] == 0) field.values[k] = NAN;
    s.extra_means.push_back(field);
  }
  return s;
}
