#include "SeriesOptions.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "FieldFrame.h"
#include "FileIdentity.h"
#include "ImagePairFile.h"  // kMaxImageSide

const char* const kSeriesOptionsUsage =
    "  --scale PX         calibration: pixels per length unit (above 0)\n"
    "  --unit NAME        calibration: the length unit, 1 to 32 letters (as mm)\n"
    "  --dt SECONDS       calibration: the time between the two images of a pair\n"
    "  --origin X0 Y0     calibration: the position in px of the coordinates' origin [0 0]\n"
    "  --reference W      which particle a displacement belongs to: midpoint,\n"
    "                     first-image or unknown [the first file's; unknown for DPIV]\n"
    "  --help             show this text and exit\n";

const char* const kSeriesUnitsUsage =
    "With --scale, --unit and --dt (all three) coordinates are window centres in the unit,\n"
    "(DPIV position + 0.5 - origin) / scale, and velocities in the unit per second;\n"
    "without them (and without calibrated NetCDF inputs) window centres in px and\n"
    "displacements in px per frame pair. A NetCDF input in physical units must carry the\n"
    "same calibration. A file of another grid, or one that cannot be read, stops the run\n"
    "with its name and status 1, and nothing is written.\n";

namespace {

bool ParseNumber(const std::string& text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

// The value after option i, if there is one.
const std::string* Value(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) return nullptr;
  return &args[++i];
}

bool Positive(const std::vector<std::string>& args, size_t& i, double& value) {
  const std::string* text = Value(args, i);
  return text != nullptr && ParseNumber(*text, value) && value > 0;
}

// Reads the option at args[i], moving i past its values; false with error set when unusable.
bool ParseOption(const std::vector<std::string>& args, size_t& i, bool tecplot, SeriesOptions& options,
                 bool& dt_given, bool& origin_given, std::string& error) {
  const std::string& a = args[i];
  const std::string* value = nullptr;
  Calibration& c = options.calibration;
  if (a == "-o") {
    if (!(value = Value(args, i)) || value->empty()) return (error = "-o needs the file to write"), false;
    options.output = *value;
  } else if (a == "--tec" && tecplot) {
    if (!(value = Value(args, i)) || value->empty()) return (error = "--tec needs the Tecplot file to write"), false;
    options.tecplot = *value;
  } else if (a == "--scale") {
    if (!Positive(args, i, c.px_per_unit)) return (error = "--scale needs a number of px per unit above 0"), false;
  } else if (a == "--dt") {
    if (!Positive(args, i, c.dt)) return (error = "--dt needs a time in seconds above 0"), false;
    dt_given = true;
  } else if (a == "--unit") {
    if (!(value = Value(args, i)) || !ValidUnitName(*value))
      return (error = "--unit needs the name of a length unit, 1 to 32 letters (as mm)"), false;
    c.unit = *value;
  } else if (a == "--origin") {
    const std::string* x = Value(args, i);
    if (!x || !(value = Value(args, i)) || !ParseNumber(*x, c.origin_x) || !ParseNumber(*value, c.origin_y))
      return (error = "--origin needs two numbers, X0 and Y0 in px"), false;
    origin_given = true;
  } else if (a == "--reference") {
    if (!(value = Value(args, i)) || !ParseDisplacementReference(*value, options.reference))
      return (error = "--reference needs midpoint, first-image or unknown"), false;
  } else {
    return (error = "unknown option " + a), false;
  }
  return true;
}

// The calibration needs all of --scale, --unit and --dt; --origin needs them too.
bool CheckCalibration(const SeriesOptions& options, bool dt_given, bool origin_given, std::string& error) {
  const Calibration& c = options.calibration;
  const int given = (c.px_per_unit > 0) + !c.unit.empty() + dt_given;
  if (given != 0 && given != 3) return (error = "a calibration needs all of --scale, --unit and --dt"), false;
  if (origin_given && given == 0) return (error = "--origin needs the calibration (--scale, --unit and --dt)"), false;
  // Field files hold velocities in single precision: displacements from a thousandth of a
  // pixel to the widest image must stay ordinary numbers there, not infinity or zero.
  const double factor = c.VelocityFactor();
  if (given == 3 && !(factor * kMaxImageSide <= FLT_MAX && factor * 1e-3 >= FLT_MIN))
    return (error = "--scale and --dt make velocities beyond the range of the files' numbers"), false;
  return true;
}

// Whether two names lead to one file: "f.dpiv", "./f.dpiv" and a link to it all do. Names of
// files that do not exist yet are compared as absolute paths with "." and ".." resolved.
bool LeadToOneFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  FileIdentity ia, ib;
  const bool existA = IdentifyFile(a.c_str(), ia), existB = IdentifyFile(b.c_str(), ib);
  if (existA && existB) return ia == ib;
  if (existA != existB) return false;
  std::error_code failed;
  const std::filesystem::path pa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, failed), failed);
  if (failed) return false;
  const std::filesystem::path pb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, failed), failed);
  return !failed && pa == pb;
}

bool CheckFiles(const SeriesOptions& options, std::string& error) {
  if (options.output.empty()) return (error = "no output file given (-o OUT.nc)"), false;
  if (options.files.empty()) return (error = "no input file given"), false;
  const std::vector<std::string>& files = options.files;
  const bool tecplot = !options.tecplot.empty();
  for (size_t k = 0; k < files.size(); k++) {
    if (files[k].empty()) return (error = "a file name is empty"), false;
    for (size_t earlier = 0; earlier < k; earlier++)
      if (LeadToOneFile(files[earlier], files[k])) return (error = files[k] + " is given twice"), false;
    if (LeadToOneFile(files[k], options.output) || (tecplot && LeadToOneFile(files[k], options.tecplot)))
      return (error = "the output would overwrite the input " + files[k]), false;
  }
  if (tecplot && LeadToOneFile(options.output, options.tecplot)) return (error = "-o and --tec name the same file"), false;
  return true;
}

}  // namespace

SeriesParse ParseSeriesOptions(const std::vector<std::string>& args, bool tecplot, SeriesOptions& options,
                               std::string& error) {
  bool dt_given = false, origin_given = false;
  for (size_t i = 0; i < args.size(); i++) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return SeriesParse::Help;
    if (a.size() > 1 && a[0] == '-') {
      if (!ParseOption(args, i, tecplot, options, dt_given, origin_given, error)) return SeriesParse::Error;
    } else {
      options.files.push_back(a);
    }
  }
  if (!CheckCalibration(options, dt_given, origin_given, error) || !CheckFiles(options, error))
    return SeriesParse::Error;
  return SeriesParse::Run;
}
