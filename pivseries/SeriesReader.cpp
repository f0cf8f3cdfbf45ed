#include "SeriesReader.h"

#include <cstdio>

#include "DpivRecords.h"
#include "FieldFrame.h"

namespace {

std::string Describe(const FieldGrid& grid) {
  char text[160];
  std::snprintf(text, sizeof text, "%d x %d points from (%g, %g) every (%g, %g) px", grid.nx, grid.ny, grid.x0,
                grid.y0, grid.dx, grid.dy);
  return text;
}

}  // namespace

SeriesReader::SeriesReader(const std::vector<std::string>& files, const Calibration& given)
    : files_(files), calibration_(given), calibration_set_(given.Given()) {}

bool SeriesReader::Fail(const std::string& error) {
  error_ = error;
  return false;
}

bool SeriesReader::TakeGrid(const std::string& path, const FieldGrid& grid) {
  if (fields_ == 0) {
    grid_ = grid;
    grid_source_ = path;
    return true;
  }
  if (grid_.Matches(grid)) return true;
  return Fail(path + ": its grid of " + Describe(grid) + " is not the grid of " + grid_source_ + ", " + Describe(grid_));
}

bool SeriesReader::ReadDpiv(const std::string& path, FieldFrame& frame) {
  frame.extras.clear();
  if (fields_ == 0) {
    VectorField field;
    if (!ReadDpivFile(path, field, error_)) return false;
    frame.vectors.swap(field.vectors);
    metadata_.displacement_reference = kReferenceUnknown;
    calibration_set_ = true;
    return TakeGrid(path, GridOf(field));
  }
  if (!ReadDpivRecords(path, buffer_, frame.vectors, error_)) return false;
  if (!grid_.Holds(frame.vectors))
    return Fail(path + ": its vectors do not lie on the grid of " + grid_source_ + ", " + Describe(grid_));
  return true;
}

bool SeriesReader::OpenNetcdf(const std::string& path) {
  if (!netcdf_.Open(path)) return Fail(netcdf_.Error());
  if (netcdf_.Steps() == 0) return Fail(path + ": holds no vector fields (u, v and flag on time, y and x)");
  const Calibration& own = netcdf_.GetCalibration();
  if (!calibration_set_) {
    calibration_ = own;
    calibration_set_ = true;
  }
  if (own.Given() && !own.SameAs(calibration_))
    return Fail(path + " is calibrated (" + own.Describe() + ")" +
                (calibration_.Given() ? ", but the series is calibrated as " + calibration_.Describe()
                                      : ", but the series is in px: give the calibration with --scale, --unit and --dt"));
  if (fields_ == 0) metadata_ = netcdf_.Metadata();
  if (!TakeGrid(path, netcdf_.Grid())) return false;
  steps_left_ = netcdf_.Steps();
  step_ = 0;
  return true;
}

bool SeriesReader::Next(FieldFrame& frame) {
  if (!error_.empty()) return false;
  if (steps_left_ == 0) {
    if (next_file_ == files_.size()) return false;
    const std::string& path = files_[next_file_++];
    if (LooksLikeNetcdf(path)) {
      if (!OpenNetcdf(path)) return false;
    } else {
      if (!ReadDpiv(path, frame)) return false;
      fields_++;
      done_++;
      return true;
    }
  }
  if (!netcdf_.ReadField(step_, frame)) return Fail(netcdf_.Error());
  step_++;
  steps_left_--;
  fields_++;
  if (steps_left_ == 0) done_++;
  return true;
}
