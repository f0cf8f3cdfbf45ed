// tarvex: digital particle image velocimetry analysis of image pairs.
#include "Driver.h"
#include "ParseParameters.h"

int main(int argc, char** argv) {
  ParseParameters(argc, argv);
  return RunAnalysis();
}
