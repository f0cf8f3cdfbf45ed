// pivplot's command line on any arguments (separated by NUL bytes): an accepted one names
// a DPIV file and a picture that does not overwrite it.
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
  FuzzCheck(!options.output.empty() && options.output != options.dpiv, "picture name");
  FuzzCheck(options.scale >= 0 && options.scale <= 1e6, "scale");
  FuzzCheck(options.image.empty() || options.image_id >= 1, "background image id");
  return 0;
}
