// pralen's command line on any arguments (separated by NUL bytes).
#include <cstdint>
#include <cstring>

#include "ConverterCommandLines.h"
#include "FuzzArguments.h"
#include "FuzzProcess.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments args("pralen", data, size);
  PralenCommandLine line;
  const bool ok = ParsePralenCommandLine(args.Argc(), args.Argv(), line);
  const bool full = args.Argc() > 1 && strcmp(args.Argv()[1], "-fulldepth") == 0;
  const int first = full ? 2 : 1;
  FuzzCheck(ok == (args.Argc() >= first + 2), "at least one input file and the output");
  FuzzCheck(line.fullDepth == full && line.first == first, "-fulldepth as the first argument only");
  if (ok) FuzzCheck(line.inputs == args.Argc() - first - 1 && line.output == args.Argv()[args.Argc() - 1], "files");
  return 0;
}
