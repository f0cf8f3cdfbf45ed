// pralen's command line on any arguments (separated by NUL bytes).
#include <cstdint>

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
  FuzzCheck(ok == (args.Argc() >= 3), "at least one TIFF file and the output");
  if (ok) FuzzCheck(line.inputs == args.Argc() - 2 && line.output == args.Argv()[args.Argc() - 1], "files");
  return 0;
}
