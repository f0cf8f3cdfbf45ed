// What the field and statistics files share: the dimensions x and y with their coordinate
// variables (window centres, in px or in the calibration's unit), and the global attributes
// (conventions, title, history, source, the analysis, the grid, the calibration and the
// displacement reference). docs/netcdf-files.md describes the whole layout.
//
// Worked example: a grid of 15 x 15 points from (15, 15) every 16 px, uncalibrated, gets
// x = y = 15.5, 31.5, ..., 239.5 (units "px") and grid_spacing_px = 16, 16; with 20 px per mm
// and origin (0, 0), x = 0.775, 1.575, ... mm and the attributes calibration_px_per_unit = 20,
// calibration_unit = "mm".
#ifndef FORMATS_NETCDFLAYOUT_H
#define FORMATS_NETCDFLAYOUT_H

#include <string>
#include <vector>

#include "Calibration.h"
#include "FieldFrame.h"
#include "FieldGrid.h"
#include "NetcdfFile.h"

// The version the files' history and source give: the toolset's.
extern const char* const kToolsetVersion;

// Names of the layout's dimensions and coordinate variables.
extern const char* const kTimeName;  // "time"
extern const char* const kYName;     // "y"
extern const char* const kXName;     // "x"

struct GridIds {
  int x_dim = -1, y_dim = -1;
  int x_var = -1, y_var = -1;
};

// Defines the dimensions y and x and their coordinate variables with their attributes.
bool DefineGrid(NetcdfFile& file, const FieldGrid& grid, const Calibration& calibration, GridIds& ids);
// Writes the coordinates (after the definitions are ended).
bool WriteGrid(NetcdfFile& file, const FieldGrid& grid, const Calibration& calibration, const GridIds& ids);
// Writes the global attributes.
bool PutGlobalAttributes(NetcdfFile& file, const std::string& title, const FieldGrid& grid,
                         const Calibration& calibration, const FieldMetadata& metadata);
// Defines a variable of doubles or floats on dims with units, long_name and _FillValue.
bool DefineQuantity(NetcdfFile& file, const char* name, int type, const std::vector<int>& dims,
                    const std::string& units, const std::string& long_name, int& id);

// The fill values of the float and double variables (the library's defaults).
extern const float kFloatFill;
extern const double kDoubleFill;

#endif
