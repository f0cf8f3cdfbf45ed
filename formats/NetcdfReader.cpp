#include "NetcdfReader.h"

#include <netcdf.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "ImagePairFile.h"  // kMaxImageSide

namespace {

constexpr double kTolerance = 1e-3;  // px, as the DPIV reader's

// A numeric attribute of one value as a double; false when absent or of another shape (an
// attribute of several values would not fit the one double it is read into).
bool OneNumber(int ncid, int variable, const char* name, double& value) {
  nc_type type = NC_NAT;
  size_t length = 0;
  if (nc_inq_att(ncid, variable, name, &type, &length) != NC_NOERR || length != 1 || type == NC_CHAR ||
      type == NC_STRING)
    return false;
  return nc_get_att_double(ncid, variable, name, &value) == NC_NOERR;
}

// The fill value of a variable as a double, as stored (packed): its _FillValue, or the
// library's default.
double FillOf(int ncid, int variable, nc_type type) {
  double fill = 0;
  if (OneNumber(ncid, variable, "_FillValue", fill)) return fill;
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

// The classic formats' header, read as far as the record variables' places: the library
// reads the records of a file cut short as zeros, so how many it holds whole is counted here
// from the file's size. Numbers are big-endian; counts and sizes are 8 bytes in CDF5, offsets
// 8 bytes from CDF2 on.
class ClassicHeader {
 public:
  explicit ClassicHeader(std::ifstream& in) : in_(in) {}

  // The records whose bytes all lie in a file of size bytes; records when the header cannot
  // be followed (the library has read it already, so that is left to it).
  size_t RecordsHeld(size_t records, size_t size) {
    char magic[4] = {};
    in_.read(magic, 4);
    if (!in_ || std::memcmp(magic, "CDF", 3) != 0 || (magic[3] != 1 && magic[3] != 2 && magic[3] != 5))
      return records;
    wide_ = magic[3] == 5;
    const int offset_bytes = magic[3] == 1 ? 4 : 8;
    Count();  // the number of records, as the library has it
    std::vector<uint64_t> dims;
    uint64_t tag = Number(4), n = Count();
    for (uint64_t d = 0; in_ && tag == kDimension && d < n && d < kMaxEntries; d++) {
      Name();
      dims.push_back(Count());
    }
    if (!Attributes()) return records;
    tag = Number(4);
    n = Count();
    struct Place {
      uint64_t begin, size, unpadded;
    };
    std::vector<Place> places;
    for (uint64_t v = 0; in_ && tag == kVariable && v < n && v < kMaxEntries; v++) {
      Name();
      const uint64_t ndims = Count();
      bool record = false;
      uint64_t points = 1;
      for (uint64_t d = 0; in_ && d < ndims && d < kMaxEntries; d++) {
        const uint64_t dim = Count();
        if (dim >= dims.size()) return records;
        if (d == 0 && dims[dim] == 0) record = true;
        else points *= dims[dim];
      }
      if (!Attributes()) return records;
      const uint64_t type = Number(4), vsize = Count(), begin = Number(offset_bytes);
      if (record) places.push_back({begin, vsize, points * TypeSize(type)});
    }
    if (!in_ || places.empty()) return records;
    uint64_t record_size = 0;
    for (const Place& place : places) record_size += place.size;
    if (places.size() == 1) record_size = places[0].unpadded;  // one record variable is not padded
    size_t held = records;
    for (const Place& place : places) {
      const uint64_t need = place.size < place.unpadded ? place.size : place.unpadded;
      const uint64_t whole = size < place.begin + need ? 0
                             : record_size == 0   ? records
                                                  : (size - place.begin - need) / record_size + 1;
      if (whole < held) held = static_cast<size_t>(whole);
    }
    return held;
  }

 private:
  static constexpr uint64_t kDimension = 10, kVariable = 11, kAttribute = 12, kMaxEntries = 1u << 20;

  uint64_t Number(int bytes) {
    unsigned char b[8] = {};
    in_.read(reinterpret_cast<char*>(b), bytes);
    uint64_t value = 0;
    for (int k = 0; k < bytes; k++) value = value << 8 | b[k];
    return value;
  }
  uint64_t Count() { return Number(wide_ ? 8 : 4); }
  static uint64_t Padded(uint64_t n) { return (n + 3) / 4 * 4; }
  void Name() { in_.ignore(static_cast<std::streamsize>(Padded(Count()))); }
  static uint64_t TypeSize(uint64_t type) {
    switch (type) {
      case NC_BYTE: case NC_CHAR: case NC_UBYTE: return 1;
      case NC_SHORT: case NC_USHORT: return 2;
      case NC_INT: case NC_FLOAT: case NC_UINT: return 4;
      default: return 8;
    }
  }
  bool Attributes() {
    const uint64_t tag = Number(4), n = Count();
    if (tag != kAttribute && tag != 0) return false;
    for (uint64_t a = 0; in_ && tag == kAttribute && a < n && a < kMaxEntries; a++) {
      Name();
      const uint64_t type = Number(4), values = Count();
      if (values > (uint64_t{1} << 40)) return false;
      in_.ignore(static_cast<std::streamsize>(Padded(values * TypeSize(type))));
    }
    return static_cast<bool>(in_);
  }

  std::ifstream& in_;
  bool wide_ = false;
};

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
  // Read whole into count values: only a variable on its own dimension alone fits.
  int ndims = 0, dim = -1;
  if (!file_.Ok(nc_inq_varndims(file_.Id(), variable, &ndims))) return false;
  if (ndims != 1 || !file_.Ok(nc_inq_vardimid(file_.Id(), variable, &dim)) || dim != dim_id)
    return Damaged(std::string("the coordinate variable ") + name + " is not on the dimension " + name + " alone");
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
    if ((on_grid || per_step) && number) {
      GridVariable variable{name, TextAttribute(file_, id, "long_name"), TextAttribute(file_, id, "units"), per_step, id};
      variable.fill = FillOf(file_.Id(), id, type);
      const bool scaled = OneNumber(file_.Id(), id, "scale_factor", variable.scale);
      variable.packed = OneNumber(file_.Id(), id, "add_offset", variable.offset) || scaled;
      variables_.push_back(variable);
    }
  }
  return true;
}

bool NetcdfFieldReader::Open(const std::string& path) {
  grid_ = FieldGrid();
  steps_ = steps_held_ = 0;
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
  if (u != nullptr && v != nullptr && flag != nullptr && u->per_step && v->per_step && flag->per_step) {
    if (!file_.Ok(nc_inq_dimlen(id, time_dim, &steps_))) return false;
    steps_held_ = steps_;
    int format = 0;
    if (file_.Ok(nc_inq_format(id, &format)) && format != NC_FORMAT_NETCDF4 && format != NC_FORMAT_NETCDF4_CLASSIC) {
      std::ifstream in(path, std::ios::binary | std::ios::ate);
      const auto size = static_cast<std::streamoff>(in.tellg());
      in.seekg(0);
      if (in && size > 0) steps_held_ = ClassicHeader(in).RecordsHeld(steps_, static_cast<size_t>(size));
    }
  }
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
  values.resize(grid_.Points());
  const bool read = variable.per_step
                        ? file_.Ok(nc_get_vara_double(file_.Id(), variable.id, start, count, values.data()))
                        : file_.Ok(nc_get_vara_double(file_.Id(), variable.id, start + 1, count + 1, values.data()));
  if (!read) return false;
  // Packed values (integers with scale_factor and add_offset) are compared with the fill
  // value as stored, then unpacked.
  for (double& value : values) {
    if (value == variable.fill || !std::isfinite(value))
      value = NAN;
    else if (variable.packed)
      value = value * variable.scale + variable.offset;
  }
  return true;
}

bool NetcdfFieldReader::ReadField(size_t step, FieldFrame& frame) {
  if (step >= steps_) return Damaged("holds no field " + std::to_string(step));
  if (step >= steps_held_) return Damaged("field " + std::to_string(step) + " holds values that were never written");
  const GridVariable* peak = Find("peak");
  if (!Read(*Find("u"), step, u_) || !Read(*Find("v"), step, v_) || !Read(*Find("flag"), step, flags_)) return false;
  if (peak != nullptr && !Read(*peak, step, peak_)) return false;
  if (peak == nullptr) peak_.assign(grid_.Points(), NAN);
  // Every point of every field written has a flag of 0 or 1: a fill value (or anything
  // else) is a field never written, as in a file cut short or a time dimension that claims
  // more fields than the file holds.
  for (double flag : flags_)
    if (flag != 0 && flag != 1)
      return Damaged("field " + std::to_string(step) + " holds values that were never written");
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
