#include "PlotOptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// Scales beyond this draw every arrow far outside any picture.
constexpr double kLargestScale = 1e6;
// Beyond this, --every leaves at most one arrow in any grid tarvex can write.
constexpr long kLargestEvery = 5000;

const std::string kDpivExtension = ".dpiv";
const std::string kNetcdfExtension = ".nc";

bool ParseNumber(const std::string& text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseWhole(const std::string& text, long lo, long hi, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || parsed < lo || parsed > hi) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsFieldName(const std::string& name) { return EndsWith(name, kDpivExtension) || EndsWith(name, kNetcdfExtension); }

// The value after option i, if there is one.
const std::string* Value(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) return nullptr;
  return &args[++i];
}

// Reads one option at args[i] (moving i past its values); false with error set when it
// cannot be used.
bool ParseOption(const std::vector<std::string>& args, size_t& i, PlotOptions& options, std::string& output,
                 std::string& error) {
  const std::string& a = args[i];
  const std::string* value = nullptr;
  double number = 0;
  if (a == "--magnitude") {
    options.by_magnitude = true;
  } else if (a == "--svg" || a == "--pdf") {
    const PictureFormat format = a == "--svg" ? PictureFormat::Svg : PictureFormat::Pdf;
    if (options.format != PictureFormat::Png && options.format != format) {
      error = "--svg and --pdf exclude each other";
      return false;
    }
    options.format = format;
  } else if (a == "--cells") {
    options.cells = true;
  } else if (a == "--no-decorations") {
    options.decorations = false;
  } else if (a == "--fixed-range") {
    options.fixed_range = true;
  } else if (a == "--scale") {
    if (!(value = Value(args, i)) || !ParseNumber(*value, number) || !(number > 0) || number > kLargestScale) {
      error = "--scale needs a number greater than 0 and at most 1e6";
      return false;
    }
    options.scale = number;
  } else if (a == "--out") {
    if (!(value = Value(args, i)) || value->empty()) {
      error = "--out needs a file name";
      return false;
    }
    output = *value;
  } else if (a == "--image") {
    const std::string* file = Value(args, i);
    if (!file || !(value = Value(args, i)) || !ParseWhole(*value, 1, INT_MAX, options.image_id)) {
      error = "--image needs an image-pair file and an image id of 1 or more";
      return false;
    }
    options.image = *file;
  } else if (a == "--mask") {
    if (!(value = Value(args, i)) || value->empty()) {
      error = "--mask needs a mask file";
      return false;
    }
    options.mask = *value;
  } else if (a == "--color") {
    if (!(value = Value(args, i)) || value->empty()) {
      error = "--color needs one of speed, vorticity, divergence, u, v or none";
      return false;
    }
    options.colour_variable.clear();
    if (!ParseQuantity(*value, options.colour)) {
      options.colour = Quantity::Variable;
      options.colour_variable = *value;
    }
  } else if (a == "--step") {
    int step = 0;
    if (!(value = Value(args, i)) || !ParseWhole(*value, 0, INT_MAX, step)) {
      error = "--step needs a whole number of 0 or more";
      return false;
    }
    options.step = static_cast<size_t>(step);
  } else if (a == "--opacity") {
    if (!(value = Value(args, i)) || !ParseNumber(*value, number) || number < 0 || number > 1) {
      error = "--opacity needs a number from 0 to 1";
      return false;
    }
    options.opacity = number;
  } else if (a == "--every") {
    if (!(value = Value(args, i)) || !ParseWhole(*value, 1, kLargestEvery, options.every)) {
      error = "--every needs a whole number from 1 to " + std::to_string(kLargestEvery);
      return false;
    }
  } else if (a == "--rejected") {
    if (!(value = Value(args, i)) || (*value != "show" && *value != "hide")) {
      error = "--rejected needs show or hide";
      return false;
    }
    options.show_rejected = *value == "show";
  } else if (a == "--title") {
    if (!(value = Value(args, i))) {
      error = "--title needs a text";
      return false;
    }
    options.title = *value;
    options.title_given = true;
  } else {
    error = "unknown option " + a;
    return false;
  }
  return true;
}

// Splits the names into field files and pictures: FIELD [OUTPUT], or several field files.
bool AssignFiles(const std::vector<std::string>& names, const std::string& out, PlotOptions& options,
                 std::string& error) {
  if (names.empty()) {
    error = "no DPIV file given";
    return false;
  }
  // A variable by name needs a NetCDF file; DPIV files know the five quantities only.
  if (options.colour == Quantity::Variable &&
      std::none_of(names.begin(), names.end(), [](const std::string& n) { return EndsWith(n, kNetcdfExtension); })) {
    error = "--color needs one of speed, vorticity, divergence, u, v or none";
    return false;
  }
  if (std::find(names.begin(), names.end(), std::string()) != names.end()) {
    error = "a file name is empty";
    return false;
  }
  const bool output_named = names.size() == 2 && !IsFieldName(names[1]);
  if (output_named || names.size() == 1) {
    if (output_named && !out.empty()) {
      error = "more than a DPIV file and an output name given";
      return false;
    }
    options.dpiv = {names[0]};
    options.outputs = {output_named ? names[1] : !out.empty() ? out : DefaultOutputName(names[0], options.format)};
    if (options.outputs[0] == options.dpiv[0]) {
      error = "the picture would overwrite the DPIV file " + names[0];
      return false;
    }
    return true;
  }
  for (const std::string& name : names)
    if (!IsFieldName(name)) {
      error = "more than a DPIV file and an output name given";
      return false;
    }
  if (!out.empty()) {
    error = "--out names one picture, but " + std::to_string(names.size()) +
            " DPIV files were given: each picture is named after its file";
    return false;
  }
  for (size_t k = 0; k < names.size(); k++)
    if (std::find(names.begin(), names.begin() + k, names[k]) != names.begin() + k) {
      error = names[k] + " is given twice";
      return false;
    }
  options.dpiv = names;
  for (const std::string& name : names) options.outputs.push_back(DefaultOutputName(name, options.format));
  return true;
}

}  // namespace

const char* PlotUsage() {
  return "Usage: pivplot [options] FIELD.dpiv [OUTPUT]\n"
         "       pivplot [options] FIELD.dpiv FIELD.dpiv ...\n"
         "Draws the vectors of DPIV files written by tarvex as arrows, optionally over the\n"
         "image and a colour map of a derived quantity, with a title, axes, a colour bar and a\n"
         "reference arrow, as a PNG, SVG or PDF picture. A NetCDF field file (FIELD.nc, from\n"
         "pivexport) is drawn the same way; a NetCDF statistics file (from pivstats) as the\n"
         "arrows of its mean u_mean, v_mean.\n"
         "\n"
         "Options:\n"
         "  --image FILE ID   draw image ID (from 1) of the image-pair file FILE, in grey and\n"
         "                    contrast-stretched, behind the arrows; it must be the size the\n"
         "                    grid was measured on (the same image for every file)\n"
         "  --mask FILE       shade in grey the pixels without flow (zero) of the mask FILE,\n"
         "                    a PNG, TIFF or image-pair file (its first image) of the\n"
         "                    image's size, over the image and the colour map\n"
         "  --color Q         colour map of Q behind the arrows: speed, u, v (px/frame),\n"
         "                    vorticity dv/dx - du/dy or divergence du/dx + dv/dy (1/frame),\n"
         "                    or none [none]; viridis from 0 for speed, a blue-grey-red map\n"
         "                    centred at 0 for the others; for a NetCDF file also any of its\n"
         "                    variables on the grid by name (u_std, n_valid, peak, ...)\n"
         "  --step K          the field at time step K (from 0) of a NetCDF field file [0]\n"
         "  --cells           draw the colour map as one cell per vector [smooth]\n"
         "  --opacity A       opacity of the colour map over the image, 0 to 1 [0.6]\n"
         "  --fixed-range     one colour range and one automatic scale for all the files\n"
         "  --scale S         arrow length in pixels per pixel of displacement (per unit of\n"
         "                    velocity of a calibrated NetCDF file), up to 1e6\n"
         "                    [chosen so that the largest valid vector is one arrow spacing long]\n"
         "  --every N         draw the vectors of every N-th column and row only [1]\n"
         "  --rejected W      show or hide the arrows of rejected vectors [show]\n"
         "  --magnitude       colour valid vectors by magnitude, blue (slow) to yellow (fast)\n"
         "  --title TEXT      the title above the plot [FIELD: V of N vectors valid]\n"
         "  --no-decorations  the bare plot: no title, axes, colour bar or reference arrow\n"
         "  --svg             write the plot as SVG instead of PNG\n"
         "  --pdf             write the plot as PDF instead of PNG\n"
         "  --out OUTPUT      the picture to write (the same as giving OUTPUT)\n"
         "  --help            show this text and exit\n"
         "\n"
         "Valid vectors are green, rejected ones red (over a colour map: black and magenta,\n"
         "on a white edge); each arrow starts at its window centre. Without --image the plot\n"
         "area is black (white under a colour map) and as large as the smallest image the grid\n"
         "fits. OUTPUT defaults to FIELD with .dpiv (.nc) replaced by .png (.svg, .pdf). Given\n"
         "several field files (names ending in .dpiv or .nc), pivplot draws one picture per\n"
         "file, each named after its file; OUTPUT and --out are refused then.\n";
}

std::string DefaultOutputName(const std::string& dpiv, PictureFormat format) {
  std::string base = dpiv;
  for (const std::string& extension : {kDpivExtension, kNetcdfExtension})
    if (EndsWith(base, extension)) base.erase(base.size() - extension.size());
  return base + (format == PictureFormat::Svg ? ".svg" : format == PictureFormat::Pdf ? ".pdf" : ".png");
}

PlotParse ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& options, std::string& error) {
  std::vector<std::string> names;
  std::string out;
  for (size_t i = 0; i < args.size(); i++) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return PlotParse::Help;
    if (a.size() > 1 && a[0] == '-') {
      if (!ParseOption(args, i, options, out, error)) return PlotParse::Error;
    } else {
      names.push_back(a);
    }
  }
  return AssignFiles(names, out, options, error) ? PlotParse::Run : PlotParse::Error;
}
