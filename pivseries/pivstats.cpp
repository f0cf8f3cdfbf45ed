// pivstats: the statistics of a series of vector fields (DPIV files and NetCDF field files of
// one grid) per grid point, into a NetCDF file and, on request, a Tecplot file.
#include <cstdio>
#include <string>

#include "SeriesProgram.h"
#include "SeriesStatistics.h"
#include "StatisticsNetcdf.h"
#include "StatisticsTecplot.h"

namespace {

const std::string kUsage = std::string(
    "Usage: pivstats -o OUT.nc [options] FILE...\n"
    "Reads a series of vector fields of one grid (DPIV files written by tarvex and NetCDF\n"
    "field files, mixed as they come, one field at a time) and writes per grid point the\n"
    "mean, the sample standard deviation (N - 1) of u and v, their covariance <u'v'> (N - 1)\n"
    "and the number N of valid vectors into the NetCDF file OUT.nc. Only valid vectors\n"
    "(flag 1) count; a value without enough of them is the variable's _FillValue.\n"
    "\n"
    "Options:\n"
    "  -o OUT.nc          the statistics file to write (NetCDF-4, CF conventions)\n"
    "  --tec OUT.plt      also write the statistics as a Tecplot point file\n") +
    kSeriesOptionsUsage + "\n" + kSeriesUnitsUsage;

const SeriesProgram kProgram{"pivstats", kUsage.c_str(), true};

class StatisticsSink : public SeriesSink {
 public:
  explicit StatisticsSink(const SeriesOptions& options) : options_(options) {}

  bool Take(const SeriesReader&, const FieldMetadata&, const FieldFrame& frame, std::string&) override {
    statistics_.Add(frame);
    return true;
  }

  bool Finish(const SeriesReader& reader, const FieldMetadata& metadata, std::string& error) override {
    const FieldStatistics result = statistics_.Result();
    const FieldGrid& grid = reader.Grid();
    const Calibration& calibration = reader.OutputCalibration();
    if (WriteStatisticsFile(options_.output, grid, calibration, metadata, result, error) != WriteStatus::Ok)
      return false;
    if (!options_.tecplot.empty() &&
        WriteStatisticsTecplot(options_.tecplot, grid, calibration, result, error) != WriteStatus::Ok)
      return false;
    size_t with_mean = 0;
    for (int n : result.n_valid) with_mean += n > 0;
    std::printf("pivstats: %zu fields from %zu files, %d x %d points (%zu with a mean), in %s; wrote %s%s%s\n",
                result.fields, reader.FilesDone(), grid.nx, grid.ny, with_mean, calibration.VelocityUnit().c_str(),
                options_.output.c_str(), options_.tecplot.empty() ? "" : " and ", options_.tecplot.c_str());
    return true;
  }

 private:
  const SeriesOptions& options_;
  SeriesStatistics statistics_;
};

}  // namespace

int main(int argc, char** argv) {
  SeriesOptions options;
  int status = 0;
  if (!ParseSeriesCommandLine(argc, argv, kProgram, options, status)) return status;
  StatisticsSink sink(options);
  return RunSeries(argc, argv, kProgram, options, sink);
}
