#include "StatisticsNetcdf.h"

#include <netcdf.h>

#include <cmath>

#include "NetcdfFile.h"
#include "NetcdfLayout.h"

namespace {

struct StoredQuantity {
  const char* name;
  const std::vector<double>* values;
  double factor;
  std::string units, long_name;
  int id;
};

std::vector<double> Filled(const std::vector<double>& values, double factor) {
  std::vector<double> stored(values.size());
  for (size_t k = 0; k < values.size(); k++) stored[k] = std::isnan(values[k]) ? kDoubleFill : values[k] * factor;
  return stored;
}

}  // namespace

WriteStatus WriteStatisticsFile(const std::string& path, const FieldGrid& grid, const Calibration& calibration,
                                const FieldMetadata& metadata, const FieldStatistics& statistics,
                                std::string& error) {
  NetcdfFile file;
  if (!file.Create(path)) {
    error = file.Error();
    return WriteStatus::CannotOpen;
  }
  const double f = calibration.VelocityFactor();
  const std::string velocity = calibration.VelocityUnit();
  const std::string product = calibration.Given() ? calibration.unit + "2 s-2" : "px2";
  std::vector<StoredQuantity> quantities = {
      {"u_mean", &statistics.u_mean, f, velocity, "mean of u over the valid vectors", -1},
      {"v_mean", &statistics.v_mean, f, velocity, "mean of v over the valid vectors", -1},
      {"u_std", &statistics.u_std, f, velocity, "sample standard deviation of u over the valid vectors (N - 1)", -1},
      {"v_std", &statistics.v_std, f, velocity, "sample standard deviation of v over the valid vectors (N - 1)", -1},
      {"uv_cov", &statistics.uv_cov, f * f, product, "sample covariance <u'v'> of u and v over the valid vectors (N - 1)",
       -1},
  };
  if (!statistics.u_mean_uncertainty.empty()) {
    quantities.push_back({"u_mean_uncertainty", &statistics.u_mean_uncertainty, f, velocity,
                          "standard uncertainty of u_mean: sqrt(max(u_std^2, mean sigma_u^2) / N)", -1});
    quantities.push_back({"v_mean_uncertainty", &statistics.v_mean_uncertainty, f, velocity,
                          "standard uncertainty of v_mean: sqrt(max(v_std^2, mean sigma_v^2) / N)", -1});
  }
  std::vector<std::string> names;
  for (const ExtraField& extra : statistics.extra_means) names.push_back(extra.name + "_mean");
  for (size_t e = 0; e < statistics.extra_means.size(); e++) {
    const ExtraField& extra = statistics.extra_means[e];
    quantities.push_back({names[e].c_str(), &extra.values, extra.velocity ? f : 1.0,
                          extra.velocity ? velocity : extra.units, "mean of " + extra.long_name + " over the valid vectors",
                          -1});
  }
  GridIds ids;
  int n_valid = -1;
  bool ok = DefineGrid(file, grid, calibration, ids);
  const std::vector<int> dims{ids.y_dim, ids.x_dim};
  for (StoredQuantity& q : quantities) ok = ok && DefineQuantity(file, q.name, NC_DOUBLE, dims, q.units, q.long_name, q.id);
  ok = ok && file.Ok(nc_def_var(file.Id(), "n_valid", NC_INT, 2, dims.data(), &n_valid)) &&
       file.PutText(n_valid, "units", "1") && file.PutText(n_valid, "long_name", "number of valid vectors") &&
       PutGlobalAttributes(file, "TARVEX statistics of a vector field series", grid, calibration, metadata) &&
       file.PutInts(NC_GLOBAL, "number_of_fields", {static_cast<int>(statistics.fields)}) &&
       file.Ok(nc_enddef(file.Id())) && WriteGrid(file, grid, calibration, ids);
  for (const StoredQuantity& q : quantities)
    ok = ok && file.Ok(nc_put_var_double(file.Id(), q.id, Filled(*q.values, q.factor).data()));
  ok = ok && file.Ok(nc_put_var_int(file.Id(), n_valid, statistics.n_valid.data()));
  if (ok && file.Commit()) return WriteStatus::Ok;
  error = file.Error();
  return WriteStatus::WriteFailed;
}
