// tarvex: digital particle image velocimetry analysis of image pairs.
#include <cstdio>
#include <new>

#include "Driver.h"
#include "ParseParameters.h"

using namespace tarvex;

int main(int argc, char** argv) {
  TarvexSettings settings;
  int status = 0;
  if (!ParseParameters(argc, argv, settings, status)) return status;
  try {
    return RunAnalysis(settings);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarvex: out of memory; the analysis stopped\n");
    return 1;
  }
}
