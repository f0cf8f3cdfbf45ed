#include "StatisticsTecplot.h"

#include <cmath>
#include <cstdio>

#include "AtomicFile.h"

namespace {

double Value(double value, double factor) { return std::isnan(value) ? 0.0 : value * factor; }

}  // namespace

WriteStatus WriteStatisticsTecplot(const std::string& path, const FieldGrid& grid, const Calibration& calibration,
                                   const FieldStatistics& statistics, std::string& error) {
  AtomicFile file;
  if (!file.Open(path, false)) {
    error = file.Error();
    return WriteStatus::CannotOpen;
  }
  FILE* f = file.Stream();
  const std::string length = calibration.LengthUnit(), velocity = calibration.VelocityUnit();
  const std::string product = calibration.Given() ? calibration.unit + "2 s-2" : "px2";
  const double factor = calibration.VelocityFactor();
  bool written = std::fprintf(f, "TITLE=\"pivstats: statistics of %zu fields\"\n", statistics.fields) > 0 &&
                 std::fprintf(f, "VARIABLES=\"x (%s)\" \"y (%s)\"", length.c_str(), length.c_str()) > 0;
  for (const char* name : {"u_mean", "v_mean", "u_std", "v_std"})
    written = written && std::fprintf(f, " \"%s (%s)\"", name, velocity.c_str()) > 0;
  written = written && std::fprintf(f, " \"uv_cov (%s)\" \"n_valid\"", product.c_str()) > 0;
  for (const ExtraField& extra : statistics.extra_means)
    written = written && std::fprintf(f, " \"%s_mean (%s)\"", extra.name.c_str(),
                                      extra.velocity ? velocity.c_str() : extra.units.c_str()) > 0;
  written = written && std::fprintf(f, "\nZONE F = POINT, I=          %d, J=          %d\n", grid.nx, grid.ny) > 0;
  for (size_t k = 0; written && k < grid.Points(); k++) {
    const int i = static_cast<int>(k % static_cast<size_t>(grid.nx)), j = static_cast<int>(k / static_cast<size_t>(grid.nx));
    // Coordinates to nine significant digits: in metres at a micrometre a pixel, fixed six
    // decimals would round neighbouring points together.
    written = std::fprintf(f, "%.9g %.9g %e %e %e %e %e %d", calibration.X(grid.X(i)), calibration.Y(grid.Y(j)),
                           Value(statistics.u_mean[k], factor), Value(statistics.v_mean[k], factor),
                           Value(statistics.u_std[k], factor), Value(statistics.v_std[k], factor),
                           Value(statistics.uv_cov[k], factor * factor), statistics.n_valid[k]) > 0;
    for (const ExtraField& extra : statistics.extra_means)
      written = written && std::fprintf(f, " %e", Value(extra.values[k], extra.velocity ? factor : 1.0)) > 0;
    written = written && std::fputc('\n', f) != EOF;
  }
  return CommitVelocityFile(file, written, error);
}
