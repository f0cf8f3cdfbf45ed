// pivsynth: synthetic particle-image pairs with a known displacement field, for
// checking a PIV set-up and as test input with a known answer.
#include <cstdio>
#include <string>
#include <vector>

#include "SynthOptions.h"
#include "Synthesis.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  SynthOptions options;
  std::string error;
  switch (ParseOptions(args, options, error)) {
    case ParseOutcome::Help:
      std::fputs(UsageText(), stdout);
      return 0;
    case ParseOutcome::Error:
      std::fprintf(stderr, "pivsynth: %s\nTry 'pivsynth --help' for the options.\n", error.c_str());
      return 1;
    case ParseOutcome::Run:
      break;
  }
  std::string summary;
  if (!Synthesize(options, summary, error)) {
    std::fprintf(stderr, "pivsynth: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", summary.c_str());
  return 0;
}
