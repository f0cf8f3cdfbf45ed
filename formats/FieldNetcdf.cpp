#include "FieldNetcdf.h"

#include <netcdf.h>

#include "NetcdfReader.h"

#include <cmath>

namespace {

float Stored(double value, double factor) {
  return std::isnan(value) ? kFloatFill : static_cast<float>(value * factor);
}

// A file of one field is a series of one.
const char* const kTitle = "TARVEX vector fields";

}  // namespace

bool FieldFileWriter::Create(const std::string& path, const FieldGrid& grid, const Calibration& calibration,
                             const FieldMetadata& metadata, const std::vector<ExtraField>& extras) {
  grid_ = grid;
  calibration_ = calibration;
  steps_ = 0;
  extras_.clear();
  if (!file_.Create(path)) return false;
  const int id = file_.Id();
  const bool calibrated = calibration.Given();
  const std::string velocity = calibration.VelocityUnit();
  bool ok = file_.Ok(nc_def_dim(id, kTimeName, NC_UNLIMITED, &time_dim_)) &&
            file_.Ok(nc_def_var(id, kTimeName, NC_DOUBLE, 1, &time_dim_, &time_var_)) &&
            file_.PutText(time_var_, "axis", "T") && file_.PutText(time_var_, "units", calibrated ? "s" : "1") &&
            file_.PutText(time_var_, "long_name", calibrated ? "time of the field: its index in the series times dt"
                                                              : "index of the field in the series (from 0)") &&
            DefineGrid(file_, grid, calibration, grid_ids_);
  const std::vector<int> dims{time_dim_, grid_ids_.y_dim, grid_ids_.x_dim};
  const char* what = calibrated ? "velocity" : "displacement from the first image to the second";
  ok = ok && DefineQuantity(file_, "u", NC_FLOAT, dims, velocity, std::string(what) + " along x", u_) &&
       DefineQuantity(file_, "v", NC_FLOAT, dims, velocity, std::string(what) + " along y", v_) &&
       file_.Ok(nc_def_var(id, "flag", NC_BYTE, 3, dims.data(), &flag_)) &&
       file_.PutText(flag_, "long_name", "validity of the vector") &&
       file_.Ok(nc_put_att_schar(id, flag_, "flag_values", NC_BYTE, 2, std::vector<signed char>{0, 1}.data())) &&
       file_.PutText(flag_, "flag_meanings", "rejected valid") &&
       DefineQuantity(file_, "peak", NC_FLOAT, dims, "1", "height of the correlation peak", peak_) &&
       Chunked(u_, sizeof(float)) && Chunked(v_, sizeof(float)) && Chunked(flag_, 1) && Chunked(peak_, sizeof(float));
  for (size_t k = 0; ok && k < extras.size(); k++) {
    const ExtraField& extra = extras[k];
    int variable = -1;
    ok = DefineQuantity(file_, extra.name.c_str(), NC_FLOAT, dims, extra.velocity ? velocity : extra.units,
                        extra.long_name, variable) &&
         Chunked(variable, sizeof(float));
    extras_.push_back({extra.name, extra.velocity, variable});
  }
  ok = ok && PutGlobalAttributes(file_, kTitle, grid, calibration, metadata) &&
       file_.Ok(nc_enddef(id)) && WriteGrid(file_, grid, calibration, grid_ids_);
  if (!ok) file_.Discard();
  return ok;
}

bool FieldFileWriter::Chunked(int variable, size_t value_size) {
  // One chunk per field, and a cache of one chunk: a written field goes to the disk when the
  // next one comes, and memory stays that of one field whatever the length of the series.
  const size_t chunk[3] = {1, static_cast<size_t>(grid_.ny), static_cast<size_t>(grid_.nx)};
  return file_.Ok(nc_def_var_chunking(file_.Id(), variable, NC_CHUNKED, chunk)) &&
         file_.Ok(nc_set_var_chunk_cache(file_.Id(), variable, grid_.Points() * value_size, 1, 1.0f));
}

bool FieldFileWriter::WriteStep(int variable, const std::vector<float>& values) {
  const size_t start[3] = {steps_, 0, 0};
  const size_t count[3] = {1, static_cast<size_t>(grid_.ny), static_cast<size_t>(grid_.nx)};
  return file_.Ok(nc_put_vara_float(file_.Id(), variable, start, count, values.data()));
}

bool FieldFileWriter::WriteStep(int variable, const std::vector<signed char>& values) {
  const size_t start[3] = {steps_, 0, 0};
  const size_t count[3] = {1, static_cast<size_t>(grid_.ny), static_cast<size_t>(grid_.nx)};
  return file_.Ok(nc_put_vara_schar(file_.Id(), variable, start, count, values.data()));
}

bool FieldFileWriter::Append(const FieldFrame& frame) { return Append(frame.vectors, frame.extras); }

bool FieldFileWriter::Append(const std::vector<VectorRecord>& vectors, const std::vector<ExtraField>& extras) {
  const size_t points = grid_.Points();
  if (vectors.size() != points) return file_.Ok(NC_EEDGE);
  const double factor = calibration_.VelocityFactor();
  u_values_.resize(points);
  v_values_.resize(points);
  peak_values_.resize(points);
  flag_values_.resize(points);
  for (size_t k = 0; k < points; k++) {
    const VectorRecord& r = vectors[k];
    const bool none = Unmeasured(r);
    u_values_[k] = none ? kFloatFill : static_cast<float>(r.u * factor);
    v_values_[k] = none ? kFloatFill : static_cast<float>(r.v * factor);
    peak_values_[k] = none ? kFloatFill : static_cast<float>(r.peak);
    flag_values_[k] = r.valid ? 1 : 0;
  }
  const double time = calibration_.Given() ? static_cast<double>(steps_) * calibration_.dt : static_cast<double>(steps_);
  const size_t at = steps_;
  bool ok = file_.Ok(nc_put_var1_double(file_.Id(), time_var_, &at, &time)) && WriteStep(u_, u_values_) &&
            WriteStep(v_, v_values_) && WriteStep(flag_, flag_values_) && WriteStep(peak_, peak_values_);
  for (size_t e = 0; ok && e < extras_.size(); e++) {
    extra_values_.assign(points, kFloatFill);
    for (const ExtraField& extra : extras)
      if (extra.name == extras_[e].name && extra.values.size() == points)
        for (size_t k = 0; k < points; k++)
          extra_values_[k] = Stored(extra.values[k], extras_[e].velocity ? factor : 1.0);
    ok = WriteStep(extras_[e].id, extra_values_);
  }
  if (ok) steps_++;
  return ok;
}

bool FieldFileWriter::Commit() { return file_.Commit(); }

WriteStatus WriteFieldFile(const std::string& path, const std::vector<VectorRecord>& records, int nx, int ny,
                           const FieldMetadata& metadata, std::string& error, const std::vector<ExtraField>& extras) {
  FieldFileWriter writer;
  if (!writer.Create(path, GridOfRecords(records, nx, ny), Calibration(), metadata, extras)) {
    error = writer.Error();
    return WriteStatus::CannotOpen;
  }
  if (!writer.Append(records, extras) || !writer.Commit()) {
    error = writer.Error();
    return WriteStatus::WriteFailed;
  }
  return WriteStatus::Ok;
}

bool FieldFileHolds(const std::string& path, int nx, int ny) {
  NetcdfFieldReader reader;
  if (!reader.Open(path) || reader.Grid().nx != nx || reader.Grid().ny != ny || reader.Steps() != 1) return false;
  for (const char* name : {"u", "v", "flag", "peak"})
    if (reader.Find(name) == nullptr) return false;
  return true;
}
