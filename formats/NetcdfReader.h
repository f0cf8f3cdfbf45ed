// Reads the NetCDF files of NetcdfLayout.h: a field file (u, v, flag, peak and extras on
// (time, y, x)) or a statistics file (u_mean, v_mean, ... on (y, x)). The grid comes back
// in DPIV positions (px), whatever the file's calibration; a field's displacements in px.
//
// Worked example: a file with x = 0.775, 1.575 mm, calibration_px_per_unit = 20 and origin
// (0, 0) has the grid x0 = 15, dx = 16 px; its u = 125 mm s-1 with dt = 0.001 s reads back
// as a displacement of 2.5 px, and a u of _FillValue as a point without a measurement (flag 0,
// zero displacement and peak).
#ifndef FORMATS_NETCDFREADER_H
#define FORMATS_NETCDFREADER_H

#include <string>
#include <vector>

#include "Calibration.h"
#include "FieldFrame.h"
#include "FieldGrid.h"
#include "NetcdfFile.h"

// A variable on the grid: on (y, x), or on (time, y, x) when per_step.
struct GridVariable {
  std::string name, long_name, units;
  bool per_step = false;
  int id = -1;
  // How its values are stored: the fill value as stored and, when packed (scale_factor or
  // add_offset given), value * scale + offset.
  double fill = 0, scale = 1, offset = 0;
  bool packed = false;
};

class NetcdfFieldReader {
 public:
  // Opens the file and reads its grid, calibration, metadata and list of variables; false
  // with Error() for a file that is not NetCDF, is damaged, or lacks the coordinates x and y
  // of a regular grid.
  bool Open(const std::string& path);
  const FieldGrid& Grid() const { return grid_; }
  const Calibration& GetCalibration() const { return calibration_; }
  const FieldMetadata& Metadata() const { return metadata_; }
  // The fields of a field file (its time steps); 0 for a file without u, v and flag on
  // (time, y, x).
  size_t Steps() const { return steps_; }
  // Every variable on the grid, the coordinates left out.
  const std::vector<GridVariable>& Variables() const { return variables_; }
  const GridVariable* Find(const std::string& name) const;
  // The values of a variable (at a time step, for one per step) in grid order, in the
  // file's units; NaN for its fill value.
  bool Read(const GridVariable& variable, size_t step, std::vector<double>& values);
  // Field step of a field file: the records (displacements in px; flag 1 only where the
  // flag is 1 and u and v have values) and the other float variables per step as extras.
  bool ReadField(size_t step, FieldFrame& frame);
  const std::string& Error() const { return file_.Error(); }
  const std::string& Path() const { return file_.Path(); }

 private:
  bool Damaged(const std::string& why);
  bool ReadAxis(int dim_id, const char* name, std::vector<double>& positions);
  bool ReadCalibration();
  void ReadMetadata();
  bool ListVariables(int time_dim, int y_dim, int x_dim);

  NetcdfFile file_;
  FieldGrid grid_;
  Calibration calibration_;
  FieldMetadata metadata_;
  size_t steps_ = 0;
  size_t steps_held_ = 0;  // of steps_, those the file holds whole (a classic file cut short)
  std::vector<GridVariable> variables_;
  std::vector<double> u_, v_, peak_, flags_;
};

// Whether the file at path begins as a NetCDF file does (classic "CDF" or HDF5).
bool LooksLikeNetcdf(const std::string& path);

#endif
