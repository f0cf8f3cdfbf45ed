// The fields of a series of DPIV files and NetCDF field files (mixed as they come), one at a
// time: memory for one field whatever the number of files. The first field sets the grid
// every later one must lie on, and the calibration of the output: the options' if given,
// else the first file's (a DPIV file's is none). A NetCDF file in physical units must carry
// that calibration; files in px take it. The metadata (analysis options, window size,
// displacement reference) is the first file's.
//
// Worked example: "run.0001.dpiv run.0003.dpiv more.nc", more.nc holding 10 fields, gives 12
// fields; run.0003.dpiv of a 16 x 15 grid instead stops the reading at its name:
// "run.0003.dpiv: its grid of 16 x 15 points from (15, 15) every (16, 16) px is not the grid
// of run.0001.dpiv, 15 x 15 points from (15, 15) every (16, 16) px".
#ifndef PIVSERIES_SERIESREADER_H
#define PIVSERIES_SERIESREADER_H

#include <string>
#include <vector>

#include "Calibration.h"
#include "FieldFrame.h"
#include "FieldGrid.h"
#include "NetcdfReader.h"

class SeriesReader {
 public:
  // given: the options' calibration (not Given() for none).
  SeriesReader(const std::vector<std::string>& files, const Calibration& given);

  // Reads the next field into frame (its buffers are reused); false at the end, or on a
  // fault with Error() naming the file.
  bool Next(FieldFrame& frame);
  // Known once the first field is read.
  const FieldGrid& Grid() const { return grid_; }
  const Calibration& OutputCalibration() const { return calibration_; }
  const FieldMetadata& Metadata() const { return metadata_; }
  size_t FilesDone() const { return done_; }
  // The file read last (or being read); empty before the first.
  const char* CurrentFile() const { return next_file_ > 0 ? files_[next_file_ - 1].c_str() : ""; }
  size_t Fields() const { return fields_; }
  const std::string& Error() const { return error_; }

 private:
  bool ReadDpiv(const std::string& path, FieldFrame& frame);
  bool OpenNetcdf(const std::string& path);
  bool TakeGrid(const std::string& path, const FieldGrid& grid);
  bool Fail(const std::string& error);

  const std::vector<std::string>& files_;
  Calibration calibration_;
  bool calibration_set_;
  FieldGrid grid_;
  std::string grid_source_;
  FieldMetadata metadata_;
  NetcdfFieldReader netcdf_;
  size_t next_file_ = 0;   // the next file to open
  size_t steps_left_ = 0;  // fields of the open NetCDF file still to read
  size_t step_ = 0;
  size_t done_ = 0, fields_ = 0;
  std::string buffer_;
  std::string error_;
};

#endif
