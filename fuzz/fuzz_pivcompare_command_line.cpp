// pivcompare's command line on any arguments (separated by NUL bytes).
#include <cstdint>
#include <cstring>

#include "CompareCommandLine.h"
#include "FuzzArguments.h"
#include "FuzzProcess.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments args("pivcompare", data, size);
  const CompareCommand command = ParseCompareCommandLine(args.Argc(), args.Argv());
  FuzzCheck((command == CompareCommand::Compare) == (args.Argc() == 3), "two files to compare");
  FuzzCheck(command != CompareCommand::Help || args.Argc() == 2, "help alone");
  return 0;
}
