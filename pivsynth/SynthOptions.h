// The command line of pivsynth.
#ifndef PIVSYNTH_SYNTHOPTIONS_H
#define PIVSYNTH_SYNTHOPTIONS_H

#include <string>
#include <vector>

#include "TruthFile.h"

// The settings of a run: what its truth file records, and the file to write.
struct SynthOptions : TruthRecord {
  std::string out = "synth.b16";
};

enum class ParseOutcome { Run, Help, Error };

// Reads the arguments (without the program name) into options. On Error, error holds
// a one-line message naming the offending option or value.
ParseOutcome ParseOptions(const std::vector<std::string>& args, SynthOptions& options, std::string& error);

const char* UsageText();

#endif
