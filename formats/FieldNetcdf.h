// The NetCDF field file: vector fields on (time, y, x), u and v (float, px or the unit per
// second, _FillValue where no vector was measured), flag (byte: 0 rejected, 1 valid), peak
// (float) and any extra per-vector variables, with the coordinates x, y and time and the
// global attributes of NetcdfLayout.h. One field per time step: pivexport writes a series,
// tarvex one field (a time of length 1), and pivstats reads both the same way.
//
// Worked example: the records "1 15 15 2.5 -1.25 0.812" and "0 31 15 0 0 0" of a 2 x 1 grid,
// uncalibrated, give x = 15.5, 31.5; y = 15.5; time = 0; u = 2.5, _FillValue; v = -1.25,
// _FillValue; flag = 1, 0; peak = 0.812, _FillValue (the second point was never measured).
// With 20 px per mm and dt = 0.001 s, u = 125 and units "mm s-1"; time steps 0, 0.001, ... s.
#ifndef FORMATS_FIELDNETCDF_H
#define FORMATS_FIELDNETCDF_H

#include <string>
#include <vector>

#include "Calibration.h"
#include "DpivFile.h"
#include "FieldFrame.h"
#include "FieldGrid.h"
#include "NetcdfFile.h"
#include "NetcdfLayout.h"

// Writes a series of fields one at a time: memory for one field, whatever their number.
class FieldFileWriter {
 public:
  // Creates the file (under a temporary name) for fields on grid, in the calibration's
  // units. The extras named here get a variable each (their values are not looked at).
  bool Create(const std::string& path, const FieldGrid& grid, const Calibration& calibration,
              const FieldMetadata& metadata, const std::vector<ExtraField>& extras);
  // Appends a field of grid.Points() records in grid order (displacements in px). An extra
  // of the file that the frame lacks is written as fill values.
  bool Append(const FieldFrame& frame);
  bool Append(const std::vector<VectorRecord>& vectors, const std::vector<ExtraField>& extras);
  // Completes the file and puts it under its name.
  bool Commit();
  const std::string& Error() const { return file_.Error(); }
  size_t Steps() const { return steps_; }

 private:
  struct ExtraVariable {
    std::string name;
    bool velocity;
    int id;
  };
  bool Chunked(int variable, size_t value_size);
  bool WriteStep(int variable, const std::vector<float>& values);
  bool WriteStep(int variable, const std::vector<signed char>& values);

  NetcdfFile file_;
  FieldGrid grid_;
  Calibration calibration_;
  GridIds grid_ids_;
  int time_dim_ = -1, time_var_ = -1, u_ = -1, v_ = -1, flag_ = -1, peak_ = -1;
  std::vector<ExtraVariable> extras_;
  size_t steps_ = 0;
  std::vector<float> u_values_, v_values_, peak_values_, extra_values_;
  std::vector<signed char> flag_values_;
};

// Writes one field (time of length 1, no calibration) to path, the file tarvex writes next to
// a DPIV file: nx x ny records in grid order, as the DPIV writer takes them.
WriteStatus WriteFieldFile(const std::string& path, const std::vector<VectorRecord>& records, int nx, int ny,
                           const FieldMetadata& metadata, std::string& error,
                           const std::vector<ExtraField>& extras = {});

// Whether path is a whole field file of one field on a grid of nx x ny points, as
// WriteFieldFile leaves it: it opens as NetCDF, its grid is nx x ny, it holds one time step
// and the variables u, v, flag and peak. A file cut short, of another grid or of 0 bytes is not.
bool FieldFileHolds(const std::string& path, int nx, int ny);

#endif
