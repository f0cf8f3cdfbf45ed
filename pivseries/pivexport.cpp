// pivexport: a series of vector fields (DPIV files and NetCDF field files of one grid) into
// one NetCDF file, u, v, flag and peak on (time, y, x), one field in memory at a time.
#include <cstdio>
#include <string>

#include "FieldNetcdf.h"
#include "SeriesProgram.h"

namespace {

const std::string kUsage = std::string(
    "Usage: pivexport -o OUT.nc [options] FILE...\n"
    "Writes a series of vector fields of one grid (DPIV files written by tarvex and NetCDF\n"
    "field files, mixed as they come) into the NetCDF file OUT.nc: u, v, flag and peak on\n"
    "(time, y, x), one time step per field, with the units, the calibration and what is\n"
    "known of the analysis. One field is held in memory at a time; time is the field's\n"
    "index, times dt in seconds when calibrated.\n"
    "\n"
    "Options:\n"
    "  -o OUT.nc          the file to write (NetCDF-4, CF conventions)\n") +
    kSeriesOptionsUsage + "\n" + kSeriesUnitsUsage;

const SeriesProgram kProgram{"pivexport", kUsage.c_str(), false};

class ExportSink : public SeriesSink {
 public:
  explicit ExportSink(const SeriesOptions& options) : options_(options) {}

  bool Take(const SeriesReader& reader, const FieldMetadata& metadata, const FieldFrame& frame,
            std::string& error) override {
    // The file is made for the first field: its extras are the first file's.
    if (!created_) {
      created_ = writer_.Create(options_.output, reader.Grid(), reader.OutputCalibration(), metadata, frame.extras);
      if (!created_) return (error = writer_.Error()), false;
    }
    if (!writer_.Append(frame)) return (error = writer_.Error()), false;
    return true;
  }

  bool Finish(const SeriesReader& reader, const FieldMetadata&, std::string& error) override {
    if (!writer_.Commit()) return (error = writer_.Error()), false;
    std::printf("pivexport: %zu fields from %zu files, %d x %d points, in %s; wrote %s\n", writer_.Steps(),
                reader.FilesDone(), reader.Grid().nx, reader.Grid().ny,
                reader.OutputCalibration().VelocityUnit().c_str(), options_.output.c_str());
    return true;
  }

 private:
  const SeriesOptions& options_;
  FieldFileWriter writer_;
  bool created_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  SeriesOptions options;
  int status = 0;
  if (!ParseSeriesCommandLine(argc, argv, kProgram, options, status)) return status;
  ExportSink sink(options);
  return RunSeries(argc, argv, kProgram, options, sink);
}
