// tarvex: digital particle image velocimetry analysis of image pairs.
#include "Driver.h"
#include "ParseParameters.h"

int main(int argc, char** argv) {
  TarvexSettings settings;
  int status = 0;
  if (!ParseParameters(argc, argv, settings, status)) return status;
  return RunAnalysis(settings);
}
