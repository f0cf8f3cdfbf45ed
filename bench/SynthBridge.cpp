#include "SynthBridge.h"

#include <cstdio>
#include <string>

#include "SynthOptions.h"
#include "Synthesis.h"
#include "TruthFile.h"

bool ReadTruthField(const char* path, DisplacementField& field, SynthScheme& scheme) {
  TruthRecord truth;
  std::string error;
  if (!ReadTruthFile(path, truth, error)) {
    std::fprintf(stderr, "cannot read the truth file: %s\n", error.c_str());
    return false;
  }
  field = truth.field;
  scheme = truth.scheme;
  return true;
}

bool WriteSyntheticPair(const std::string& path, int side, const DisplacementField& field,
                        unsigned long seed) {
  SynthOptions options;
  options.width = options.height = side;
  options.field = field;
  options.seed = seed;
  options.out = path;
  std::string summary, error;
  if (!Synthesize(options, summary, error)) {
    std::fprintf(stderr, "cannot write the pair %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}
