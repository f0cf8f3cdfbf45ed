#include "NetcdfLayout.h"

#include <netcdf.h>

#include <ctime>

const char* const kToolsetVersion = TARVEX_VERSION;
const char* const kTimeName = "time";
const char* const kYName = "y";
const char* const kXName = "x";
const float kFloatFill = NC_FILL_FLOAT;
const double kDoubleFill = NC_FILL_DOUBLE;

namespace {

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  char text[32] = "1970-01-01T00:00:00Z";
  if (gmtime_r(&now, &utc) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

bool DefineAxis(NetcdfFile& file, const char* name, int count, const char* axis, const std::string& units,
                const std::string& long_name, int& dim, int& var) {
  return file.Ok(nc_def_dim(file.Id(), name, static_cast<size_t>(count), &dim)) &&
         file.Ok(nc_def_var(file.Id(), name, NC_DOUBLE, 1, &dim, &var)) && file.PutText(var, "axis", axis) &&
         file.PutText(var, "units", units) && file.PutText(var, "long_name", long_name);
}

}  // namespace

bool DefineGrid(NetcdfFile& file, const FieldGrid& grid, const Calibration& calibration, GridIds& ids) {
  const std::string unit = calibration.LengthUnit();
  return DefineAxis(file, kYName, grid.ny, "Y", unit, "y of the window centre (down the image rows)", ids.y_dim,
                    ids.y_var) &&
         DefineAxis(file, kXName, grid.nx, "X", unit, "x of the window centre (along the image columns)", ids.x_dim,
                    ids.x_var);
}

bool WriteGrid(NetcdfFile& file, const FieldGrid& grid, const Calibration& calibration, const GridIds& ids) {
  std::vector<double> xs(static_cast<size_t>(grid.nx)), ys(static_cast<size_t>(grid.ny));
  for (int i = 0; i < grid.nx; i++) xs[static_cast<size_t>(i)] = calibration.X(grid.X(i));
  for (int j = 0; j < grid.ny; j++) ys[static_cast<size_t>(j)] = calibration.Y(grid.Y(j));
  return file.Ok(nc_put_var_double(file.Id(), ids.x_var, xs.data())) &&
         file.Ok(nc_put_var_double(file.Id(), ids.y_var, ys.data()));
}

bool PutGlobalAttributes(NetcdfFile& file, const std::string& title, const FieldGrid& grid,
                         const Calibration& calibration, const FieldMetadata& metadata) {
  const std::string version = metadata.program + " " + kToolsetVersion;
  const std::string reference =
      metadata.displacement_reference.empty() ? kReferenceUnknown : metadata.displacement_reference;
  bool ok = file.PutText(NC_GLOBAL, "Conventions", "CF-1.8") && file.PutText(NC_GLOBAL, "title", title) &&
            file.PutText(NC_GLOBAL, "history", UtcNow() + " " + version + ": " + metadata.command_line) &&
            file.PutText(NC_GLOBAL, "source", version + " (TARVEX toolset)");
  if (ok && !metadata.inputs.empty()) ok = file.PutText(NC_GLOBAL, "input_files", metadata.inputs);
  if (ok && !metadata.analysis_options.empty())
    ok = file.PutText(NC_GLOBAL, "analysis_options", metadata.analysis_options);
  if (ok && metadata.window_x > 0 && metadata.window_y > 0)
    ok = file.PutInts(NC_GLOBAL, "window_size_px", {metadata.window_x, metadata.window_y});
  ok = ok && file.PutDoubles(NC_GLOBAL, "grid_spacing_px", {grid.dx, grid.dy}) &&
       file.PutText(NC_GLOBAL, "displacement_reference", reference);
  if (ok && calibration.Given())
    ok = file.PutDoubles(NC_GLOBAL, "calibration_px_per_unit", {calibration.px_per_unit}) &&
         file.PutText(NC_GLOBAL, "calibration_unit", calibration.unit) &&
         file.PutDoubles(NC_GLOBAL, "calibration_dt_s", {calibration.dt}) &&
         file.PutDoubles(NC_GLOBAL, "calibration_origin_px", {calibration.origin_x, calibration.origin_y});
  return ok;
}

bool DefineQuantity(NetcdfFile& file, const char* name, int type, const std::vector<int>& dims,
                    const std::string& units, const std::string& long_name, int& id) {
  if (!file.Ok(nc_def_var(file.Id(), name, type, static_cast<int>(dims.size()), dims.data(), &id))) return false;
  bool ok = file.PutText(id, "units", units) && file.PutText(id, "long_name", long_name);
  if (ok && type == NC_FLOAT) ok = file.PutFloat(id, "_FillValue", kFloatFill);
  if (ok && type == NC_DOUBLE) ok = file.PutDoubles(id, "_FillValue", {kDoubleFill});
  return ok;
}
