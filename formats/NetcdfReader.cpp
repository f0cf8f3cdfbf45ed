#include "NetcdfReader.h"

#include <netcdf.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "ImagePairFile.h"  // kMaxImageSide

namespace {

constexpr double kTolerance = 1e-3;  // px, as the DPIV reader's

// The fill value of a variable as a double: its _FillValue, or the library's default.
double FillOf(int ncid, int variable, nc_type type) {
  double fill = 0;
  if (nc_get_att_double(ncid, variable, "_FillValue", &fill) == NC_NOERR) return fill;
  switch (type) {
    case NC_FLOAT: return NC_FILL_FLOAT;
    case NC_DOUBLE: return NC_FILL_DOUBLE;
    case NC_INT: return NC_FILL_INT;
    case NC_SHORT: return NC_FILL_SHORT;
    case NC_BYTE: return NC_FILL_BYTE;
    default: return NAN;
  }
}

std::string TextAttribute(const NetcdfFile& file, int variable, const char* name) {
  std::string text;
  return file.GetText(variable, name, text) ? text : std::string();
}

// The names the field reader takes as records rather than extras.
bool IsRecordVariable(const std::string& name) {
  return name == "u" || name == "v" || name == "flag" || name == "peak";
}

}  // namespace

bool LooksLikeNetcdf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[8] = {};
  in.read(head, sizeof head);
  if (in.gcount() >= 4 && std::memcmp(head, "CDF", 3) == 0) return true;
  return in.gcount() == 8 && std::memcmp(head, "\x89HDF\r\n\x1a\n", 8) == 0;
}

bool NetcdfFieldReader::Damaged(const std::string& why) { return file_.Fail(Path() + ": " + why); }

bool NetcdfFieldReader::ReadAxis(int dim_id, const char* name, std::vector<double>& positions) {
  size_t count = 0;
  int variable = -1;
  if (!file_.Ok(nc_inq_dimlen(file_.Id(), dim_id, &count))) return false;
  if (count == 0 || count > static_cast<size_t>(kMaxImageSide))
    return Damaged(std::string("the dimension ") + name + " has " + std::to_string(count) + " points");
  if (nc_inq_varid(file_.Id(), name, &variable) != NC_NOERR)
    return Damaged(std::string("no coordinate variable ") + name);
  positions.resize(count);
  return file_.Ok(nc_get_var_double(file_.Id(), variable, positions.data()));
}

bool NetcdfFieldReader::ReadCalibration() {
  calibration_ = Calibration();
  std::vector<double> scale, dt, origin;
  const bool has_scale = file_.GetDoubles(NC_GLOBAL, "calibration_px_per_unit", scale);
  if (!has_scale) return true;
  if (scale.size() != 1 || !(scale[0] > 0) || !std::isfinite(scale[0]) ||
      !file_.GetText(NC_GLOBAL, "calibration_unit", calibration_.unit) || !ValidUnitName(calibration_.unit) ||
      !file_.GetDoubles(NC_GLOBAL, "calibration_dt_s", dt) || dt.size() != 1 || !(dt[0] > 0) ||
      !std::isfinite(dt[0]) || !file_.GetDoubles(NC_GLOBAL, "calibration_origin_px", origin) || origin.size() != 2 ||
      !std::isfinite(origin[0]) || !std::isfinite(origin[1]))
    return Damaged("its calibration attributes are incomplete or unusable");
  calibration_.px_per_unit = scale[0];
  calibration_.dt = dt[0];
  calibration_.origin_x = origin[0];
  calibration_.origin_y = origin[1];
  return true;
}

void NetcdfFieldReader::ReadMetadata() {
  metadata_ = FieldMetadata();
  metadata_.analysis_options = TextAttribute(file_, NC_GLOBAL, "analysis_options");
  metadata_.displacement_reference = TextAttribute(file_, NC_GLOBAL, "displacement_reference");
  metadata_.inputs = TextAttribute(file_, NC_GLOBAL, "input_files");
  std::vector<double> window;
  if (file_.GetDoubles(NC_GLOBAL, "window_size_px", window) && window.size() == 2 && window[0] >= 1 &&
      window[1] >= 1 && window[0] <= kMaxImageSide && window[1] <= kMaxImageSide) {
    metadata_.window_x = static_cast<int>(window[0]);
    metadata_.window_y = static_cast<int>(window[1]);
  }
}

bool NetcdfFieldReader::ListVariables(int time_dim, int y_dim, int x_dim) {
  variables_.clear();
  int count = 0;
  if (!file_.Ok(nc_inq_nvars(file_.Id(), &count))) return false;
  for (int id = 0; id < count; id++) {
    char name[NC_MAX_NAME + 1] = {};
    int ndims = 0, dims[NC_MAX_VAR_DIMS] = {};
    nc_type type = NC_NAT;
    if (!file_.Ok(nc_inq_var(file_.Id(), id, name, &type, &ndims, dims, nullptr))) return false;
    const bool on_grid = ndims == 2 && dims[0] == y_dim && dims[1] == x_dim;
    const bool per_step = ndims == 3 && time_dim >= 0 && dims[0] == time_dim && dims[1] == y_dim && dims[2] == x_dim;
    const bool number = type == NC_FLOAT || type == NC_DOUBLE || type == NC_INT || type == NC_SHORT || type == NC_BYTE;
    if ((on_grid || per_step) && number)
      variables_.push_back({name, TextAttribute(file_, id, "long_name"), TextAttribute(file_, id, "units"), per_step, id});
  }
  return true;
}

bool NetcdfFieldReader::Open(const std::string& path) {
  grid_ = FieldGrid();
  steps_ = 0;
  variables_.clear();
  if (!file_.Open(path)) return false;
  const int id = file_.Id();
  int x_dim = -1, y_dim = -1, time_dim = -1;
  if (nc_inq_dimid(id, "x", &x_dim) != NC_NOERR || nc_inq_dimid(id, "y", &y_dim) != NC_NOERR)
    return Damaged("no dimensions x and y: not a file of vector fields");
  if (nc_inq_dimid(id, "time", &time_dim) != NC_NOERR) time_dim = -1;
  std::vector<double> xs, ys;
  if (!ReadCalibration() || !ReadAxis(x_dim, "x", xs) || !ReadAxis(y_dim, "y", ys)) return false;
  ReadMetadata();
  for (double& x : xs) x = calibration_.DpivX(x);
  for (double& y : ys) y = calibration_.DpivY(y);
  grid_ = {static_cast<int>(xs.size()), static_cast<int>(ys.size()), xs[0], ys[0],
           xs.size() > 1 ? xs[1] - xs[0] : 0, ys.size() > 1 ? ys[1] - ys[0] : 0};
  for (size_t i = 0; i < xs.size(); i++)
    if (!std::isfinite(xs[i]) || std::fabs(xs[i] - grid_.X(static_cast<int>(i))) > kTolerance || xs[i] < 0)
      return Damaged("the coordinate x is not a regular grid");
  for (size_t j = 0; j < ys.size(); j++)
    if (!std::isfinite(ys[j]) || std::fabs(ys[j] - grid_.Y(static_cast<int>(j))) > kTolerance || ys[j] < 0)
      return Damaged("the coordinate y is not a regular grid");
  if ((grid_.nx > 1 && !(grid_.dx > 0)) || (grid_.ny > 1 && !(grid_.dy > 0)))
    return Damaged("the coordinates do not grow along the grid");
  if (!ListVariables(time_dim, y_dim, x_dim)) return false;
  const GridVariable* u = Find("u");
  const GridVariable* v = Find("v");
  const GridVariable* flag = Find("flag");
  if (u != nullptr && v != nullptr && flag != nullptr && u->per_step && v->per_step && flag->per_step)
    return file_.Ok(nc_inq_dimlen(id, time_dim, &steps_));
  return true;
}

const GridVariable* NetcdfFieldReader::Find(const std::string& name) const {
  for (const GridVariable& variable : variables_)
    if (variable.name == name) return &variable;
  return nullptr;
}

bool NetcdfFieldReader::Read(const GridVariable& variable, size_t step, std::vector<double>& values) {
  const size_t start[3] = {step, 0, 0};
  const size_t count[3] = {1, static_cast<size_t>(grid_.ny), static_cast<size_t>(grid_.nx)};
  nc_type type = NC_NAT;
  values.resize(grid_.Points());
  if (!file_.Ok(nc_inq_vartype(file_.Id(), variable.id, &type))) return false;
  const bool read = variable.per_step
                        ? file_.Ok(nc_get_vara_double(file_.Id(), variable.id, start, count, values.data()))
                        : file_.Ok(nc_get_vara_double(file_.Id(), variable.id, start + 1, count + 1, values.data()));
  if (!read) return false;
  const double fill = FillOf(file_.Id(), variable.id, type);
  for (double& value : values)
    if (value == fill || !std::isfinite(value)) value = NAN;
  return true;
}

bool NetcdfFieldReader::ReadField(size_t step, FieldFrame& frame) {
  if (step >= steps_) return Damaged("holds no field " + std::to_string(step));
  const GridVariable* peak = Find("peak");
  if (!Read(*Find("u"), step, u_) || !Read(*Find("v"), step, v_) || !Read(*Find("flag"), step, flags_)) return false;
  if (peak != nullptr && !Read(*peak, step, peak_)) return false;
  if (peak == nullptr) peak_.assign(grid_.Points(), NAN);
  const double to_px = 1.0 / calibration_.VelocityFactor();
  frame.vectors.resize(grid_.Points());
  for (size_t k = 0; k < frame.vectors.size(); k++) {
    const int i = static_cast<int>(k % static_cast<size_t>(grid_.nx)), j = static_cast<int>(k / static_cast<size_t>(grid_.nx));
    const bool measured = !std::isnan(u_[k]) && !std::isnan(v_[k]);
    VectorRecord& r = frame.vectors[k];
    r.valid = measured && flags_[k] == 1;
    r.x = grid_.X(i);
    r.y = grid_.Y(j);
    r.u = measured ? u_[k] * to_px : 0;
    r.v = measured ? v_[k] * to_px : 0;
    r.peak = measured && !std::isnan(peak_[k]) ? peak_[k] : 0;
  }
  size_t used = 0;
  const std::string velocity = calibration_.VelocityUnit();
  for (const GridVariable& variable : variables_) {
    if (!variable.per_step || IsRecordVariable(variable.name)) continue;
    if (frame.extras.size() <= used) frame.extras.emplace_back();
    ExtraField& extra = frame.extras[used++];
    extra.name = variable.name;
    extra.long_name = variable.long_name;
    extra.velocity = variable.units == velocity;
    extra.units = extra.velocity ? std::string() : variable.units;
    if (!Read(variable, step, extra.values)) return false;
    if (extra.velocity)
      for (double& value : extra.values) value *= to_px;
  }
  frame.extras.resize(used);
  return true;
}
