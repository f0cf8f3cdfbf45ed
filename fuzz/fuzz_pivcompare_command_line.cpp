// pivcompare's command line on any arguments (separated by NUL bytes).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "CompareCommandLine.h"
#include "FuzzArguments.h"
#include "FuzzProcess.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments args("pivcompare", data, size);
  CompareSettings settings;
  std::string error;
  const CompareCommand command = ParseCompareCommandLine(args.Argc(), args.Argv(), settings, error);
  FuzzCheck(command != CompareCommand::Help || args.Argc() == 2, "help alone");
  FuzzCheck(command == CompareCommand::UsageError || error.empty(), "a message only for a refusal");
  if (command != CompareCommand::Compare) return 0;
  FuzzCheck(args.Argc() >= 3, "two files to compare");
  FuzzCheck(std::isfinite(settings.outlierLimit) && settings.outlierLimit > 0.0, "an outlier limit above 0");
  bool dpivNamed = false, truthNamed = false;
  for (int k = 1; k < args.Argc(); ++k) {
    dpivNamed = dpivNamed || settings.dpivPath == args.Argv()[k];
    truthNamed = truthNamed || settings.truthPath == args.Argv()[k];
  }
  FuzzCheck(dpivNamed && truthNamed, "the files are arguments given");
  return 0;
}
