#include "SynthBridge.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "SynthOptions.h"
#include "Synthesis.h"

bool ReadTruthField(const char* path, DisplacementField& field) {
  std::ifstream in(path);
  std::vector<std::string> args;
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    key.erase(key.find_last_not_of(' ') + 1);
    value.erase(0, value.find_first_not_of(' '));
    args.push_back("--" + key + "=" + value);
  }
  SynthOptions options;
  std::string error;
  if (!in.eof() || args.empty() || ParseOptions(args, options, error) != ParseOutcome::Run) {
    std::fprintf(stderr, "cannot read the truth file %s %s\n", path, error.c_str());
    return false;
  }
  field = options.field;
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
