// The command line of pivsynth.
#ifndef PIVSYNTH_SYNTHOPTIONS_H
#define PIVSYNTH_SYNTHOPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "DisplacementField.h"
#include "ImagePairFileWriter.h"  // kMaxImageSide


struct SynthOptions {
  int width = 256, height = 256;
  int pairs = 1;
  DisplacementField field;  // centre defaults to the image centre
  double diameter = 2.5;    // e^-2 particle image diameter in pixels
  double density = 0.02;    // particles per pixel
  double noise = 0.0;       // std dev of the additive noise in counts
  uint64_t seed = 1;
  std::string out = "synth.b16";
};

enum class ParseOutcome { Run, Help, Error };

// Reads the arguments (without the program name) into options. On Error, error holds
// a one-line message naming the offending option or value.
ParseOutcome ParseOptions(const std::vector<std::string>& args, SynthOptions& options, std::string& error);

const char* UsageText();

#endif
