// dolvek's command line on any arguments (separated by NUL bytes), with the input name
// check that follows it.
#include <cstdint>
#include <cstring>

#include "ConverterCommandLines.h"
#include "ConverterReaders.h"
#include "FuzzArguments.h"
#include "FuzzProcess.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments args("dolvek", data, size);
  DolvekCommandLine line;
  const bool ok = ParseDolvekCommandLine(args.Argc(), args.Argv(), line);
  FuzzCheck(ok == (args.Argc() == 3), "an input and an output");
  if (!ok) return 0;
  EightBitImageFile image;
  const bool fits = SetEightBitFileName(&image, line.input);
  FuzzCheck(fits == (strlen(line.input) < kEightBitNameSize), "input names up to 199 characters");
  FuzzCheck(!fits || strcmp(image.fname, line.input) == 0, "input name kept");
  return 0;
}
