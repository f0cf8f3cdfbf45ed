#include "PlotOptions.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// Scales beyond this draw every arrow far outside any picture.
constexpr double kLargestScale = 1e6;

bool ParsePositiveScale(const std::string& text, double& scale) {
  char* end = nullptr;
  errno = 0;
  scale = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(scale) && scale > 0 && scale <= kLargestScale;
}

bool ParseImageId(const std::string& text, int& id) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > INT_MAX) return false;
  id = static_cast<int>(value);
  return true;
}

}  // namespace

const char* PlotUsage() {
  return "Usage: pivplot [options] FIELD.dpiv [OUTPUT]\n"
         "Draws the vectors of a DPIV file written by tarvex as arrows on a PNG picture.\n"
         "\n"
         "Options:\n"
         "  --image FILE ID   draw image ID (from 1) of the image-pair file FILE, in grey and\n"
         "                    contrast-stretched, behind the arrows; it must be the size the\n"
         "                    grid was measured on\n"
         "  --scale S         arrow length in pixels per pixel of displacement, up to 1e6\n"
         "                    [chosen so that the largest valid vector is one grid spacing long]\n"
         "  --magnitude       colour valid vectors by magnitude, blue (slow) to yellow (fast)\n"
         "  --svg             write the plot as SVG instead of PNG\n"
         "  --out OUTPUT      the picture to write (the same as giving OUTPUT)\n"
         "  --help            show this text and exit\n"
         "\n"
         "Valid vectors are green, rejected ones red; each arrow starts at its window centre.\n"
         "Without --image the background is black and the picture as large as the smallest\n"
         "image the grid fits. OUTPUT defaults to FIELD with .dpiv replaced by .png (.svg),\n"
         "so each file of a series name.0001.dpiv, name.0002.dpiv ... gets its own picture.\n";
}

std::string DefaultOutputName(const std::string& dpiv, bool svg) {
  const std::string extension = ".dpiv";
  std::string base = dpiv;
  if (base.size() > extension.size() && base.compare(base.size() - extension.size(), extension.size(), extension) == 0)
    base.erase(base.size() - extension.size());
  return base + (svg ? ".svg" : ".png");
}

PlotParse ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& options, std::string& error) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); i++) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return PlotParse::Help;
    if (a == "--magnitude") {
      options.by_magnitude = true;
    } else if (a == "--svg") {
      options.svg = true;
    } else if (a == "--scale") {
      if (i + 1 >= args.size() || !ParsePositiveScale(args[i + 1], options.scale)) {
        error = "--scale needs a number greater than 0 and at most 1e6";
        return PlotParse::Error;
      }
      i++;
    } else if (a == "--out") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--out needs a file name";
        return PlotParse::Error;
      }
      options.output = args[++i];
    } else if (a == "--image") {
      if (i + 2 >= args.size() || !ParseImageId(args[i + 2], options.image_id)) {
        error = "--image needs an image-pair file and an image id of 1 or more";
        return PlotParse::Error;
      }
      options.image = args[i + 1];
      i += 2;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return PlotParse::Error;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty() || files.size() > (options.output.empty() ? 2u : 1u)) {
    error = files.empty() ? "no DPIV file given" : "more than a DPIV file and an output name given";
    return PlotParse::Error;
  }
  options.dpiv = files[0];
  if (files.size() == 2) options.output = files[1];
  if (options.output.empty()) options.output = DefaultOutputName(options.dpiv, options.svg);
  if (options.output == options.dpiv) {
    error = "the picture would overwrite the DPIV file " + options.dpiv;
    return PlotParse::Error;
  }
  return PlotParse::Run;
}
