#include "PlotInput.h"

#include <cmath>

#include "NetcdfReader.h"
#include "PlotPicture.h"

namespace {

std::string VariableNames(const NetcdfFieldReader& reader) {
  std::string names;
  for (const GridVariable& variable : reader.Variables()) names += (names.empty() ? "" : ", ") + variable.name;
  return names;
}

// The records of the mean field of a statistics file, in its units.
bool ReadMeans(NetcdfFieldReader& reader, VectorField& field, std::string& error) {
  std::vector<double> u, v;
  if (!reader.Read(*reader.Find("u_mean"), 0, u) || !reader.Read(*reader.Find("v_mean"), 0, v)) {
    error = reader.Error();
    return false;
  }
  for (size_t k = 0; k < field.vectors.size(); k++) {
    VectorRecord& r = field.vectors[k];
    const bool defined = !std::isnan(u[k]) && !std::isnan(v[k]);
    r.valid = defined;
    r.u = defined ? u[k] : 0;
    r.v = defined ? v[k] : 0;
    r.peak = 0;
  }
  return true;
}

// The records of field step of a field file, in its units.
bool ReadStep(NetcdfFieldReader& reader, size_t step, VectorField& field, std::string& error) {
  if (step >= reader.Steps()) {
    error = reader.Path() + " holds " + std::to_string(reader.Steps()) + " fields (time steps 0 to " +
            std::to_string(reader.Steps() - 1) + "), not a field " + std::to_string(step);
    return false;
  }
  FieldFrame frame;
  if (!reader.ReadField(step, frame)) {
    error = reader.Error();
    return false;
  }
  const double factor = reader.GetCalibration().VelocityFactor();
  field.vectors.swap(frame.vectors);
  for (VectorRecord& r : field.vectors) {
    r.u *= factor;
    r.v *= factor;
  }
  return true;
}

bool ReadColour(NetcdfFieldReader& reader, size_t step, const std::string& name, const VectorField& field,
                ScalarGrid& colour, ColourQuantity& quantity, std::string& error) {
  const GridVariable* variable = reader.Find(name);
  if (variable == nullptr) {
    error = reader.Path() + " has no variable " + name + " on its grid; it has " + VariableNames(reader);
    return false;
  }
  std::vector<double> values;
  if (!reader.Read(*variable, variable->per_step ? step : 0, values)) {
    error = reader.Error();
    return false;
  }
  colour = ScalarGrid(field.nx, field.ny);
  for (size_t k = 0; k < values.size(); k++)
    if (!std::isnan(values[k]))
      colour.Set(static_cast<int>(k % static_cast<size_t>(field.nx)), static_cast<int>(k / static_cast<size_t>(field.nx)),
                 values[k]);
  quantity.name = name;
  quantity.unit = variable->units;
  quantity.is_signed = AnyNegative({&colour});
  return true;
}

bool ReadNetcdf(const std::string& path, size_t step, const std::string& variable, PlotInput& input,
                ScalarGrid& colour, ColourQuantity& quantity, std::string& error) {
  NetcdfFieldReader reader;
  if (!reader.Open(path)) {
    error = reader.Error();
    return false;
  }
  const FieldGrid& grid = reader.Grid();
  VectorField& field = input.field;
  field.nx = grid.nx;
  field.ny = grid.ny;
  field.x0 = grid.x0;
  field.y0 = grid.y0;
  field.delx = grid.dx;
  field.dely = grid.dy;
  field.vectors.assign(grid.Points(), VectorRecord{});
  for (size_t k = 0; k < field.vectors.size(); k++) {
    field.vectors[k].x = grid.X(static_cast<int>(k % static_cast<size_t>(grid.nx)));
    field.vectors[k].y = grid.Y(static_cast<int>(k / static_cast<size_t>(grid.nx)));
  }
  input.statistics = reader.Steps() == 0;
  const GridVariable* u_mean = reader.Find("u_mean");
  const GridVariable* v_mean = reader.Find("v_mean");
  if (input.statistics && (u_mean == nullptr || v_mean == nullptr || u_mean->per_step || v_mean->per_step)) {
    error = path + " holds neither vector fields (u, v and flag on time, y and x) nor their statistics (u_mean and "
                   "v_mean on y and x)";
    return false;
  }
  if (!(input.statistics ? ReadMeans(reader, field, error) : ReadStep(reader, step, field, error))) return false;
  const Calibration& calibration = reader.GetCalibration();
  if (calibration.Given()) {
    input.units.vector = input.units.velocity = calibration.VelocityUnit();
    input.units.rate = "s-1";
    input.units.px_per_length = calibration.px_per_unit;
  }
  const long valid = CountValid(field);
  input.title = input.statistics ? path + ": mean of " + std::to_string(valid) + " of " +
                                       std::to_string(field.vectors.size()) + " points"
                                 : DefaultTitle(path, field);
  return variable.empty() || ReadColour(reader, step, variable, field, colour, quantity, error);
}

}  // namespace

bool ReadPlotInput(const std::string& path, size_t step, const std::string& variable, PlotInput& input,
                   ScalarGrid& colour, ColourQuantity& quantity, std::string& error) {
  input = PlotInput();
  if (LooksLikeNetcdf(path)) return ReadNetcdf(path, step, variable, input, colour, quantity, error);
  if (!ReadDpivFile(path, input.field, error)) return false;
  if (!variable.empty()) {
    error = path + " is a DPIV file: it has no variable " + variable +
            " (--color takes speed, vorticity, divergence, u, v or none there)";
    return false;
  }
  input.title = DefaultTitle(path, input.field);
  return true;
}
