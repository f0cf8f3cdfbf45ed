// pivplot's command line on any arguments (separated by NUL bytes): an accepted one names
// DPIV files and one picture for each that overwrites none of them.
#include <cstdint>
#include <string>

#include "FuzzArguments.h"
#include "FuzzProcess.h"
#include "PlotOptions.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzArguments args("pivplot", data, size);
  PlotOptions options;
  std::string error;
  const PlotParse outcome = ParsePlotOptions(args.Strings(), options, error);
  FuzzCheck((outcome == PlotParse::Error) == !error.empty(), "a message exactly for a refusal");
  if (outcome != PlotParse::Run) return 0;
  FuzzCheck(!options.dpiv.empty() && options.outputs.size() == options.dpiv.size(), "a picture per file");
  for (const std::string& picture : options.outputs) {
    FuzzCheck(!picture.empty(), "picture name");
    for (const std::string& field : options.dpiv) FuzzCheck(picture != field, "no picture overwrites a field");
  }
  FuzzCheck(options.scale >= 0 && options.scale <= 1e6, "scale");
  FuzzCheck(options.image.empty() || options.image_id >= 1, "background image id");
  FuzzCheck(options.every >= 1 && options.opacity >= 0 && options.opacity <= 1, "every and opacity");
  return 0;
}
