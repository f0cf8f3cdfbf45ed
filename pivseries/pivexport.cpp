// pivexport: a series of vector fields (DPIV files and NetCDF field files of one grid) into
// one NetCDF file, u, v, flag and peak on (time, y, x), one field in memory at a time.
#include <cstdio>

#include "FieldNetcdf.h"
#include "SeriesProgram.h"

namespace {

const char* const kUsage =
    "Usage: pivexport -o OUT.nc [options] FILE...\n"
    "Writes a series of vector fields of one grid (DPIV files written by tarvex and NetCDF\n"
    "field files, mixed as they come) into the NetCDF file OUT.nc: u, v, flag and peak on\n"
    "(time, y, x), one time step per field, with the units, the calibration and what is\n"
    "known of the analysis. One field is held in memory at a time.\n"
    "\n"
    "Options:\n"
    "  -o OUT.nc          the file to write (NetCDF-4, CF conventions)\n"
    "  --scale PX         calibration: pixels per length unit (above 0)\n"
    "  --unit NAME        calibration: the length unit, 1 to 32 letters (as mm)\n"
    "  --dt SECONDS       calibration: the time between the two images of a pair\n"
    "  --origin X0 Y0     calibration: the position in px of the coordinates' origin [0 0]\n"
    "  --reference W      which particle a displacement belongs to: midpoint,\n"
    "                     first-image or unknown [the first file's; unknown for DPIV]\n"
    "  --help             show this text and exit\n"
    "\n"
    "With --scale, --unit and --dt (all three) coordinates are window centres in the unit,\n"
    "(DPIV position + 0.5 - origin) / scale, velocities in the unit per second and time the\n"
    "field's index times dt in seconds; without them (and without calibrated NetCDF\n"
    "inputs) window centres in px, displacements in px per frame pair and time the index.\n"
    "A NetCDF input in physical units must carry the same calibration. A file of another\n"
    "grid, or one that cannot be read, stops the run with its name and status 1, and\n"
    "nothing is written.\n";

const SeriesProgram kProgram{"pivexport", kUsage, false};

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
