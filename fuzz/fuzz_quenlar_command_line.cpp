// quenlar's command line on any arguments (separated by NUL bytes), with the names of the
// first files of a series.
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
  FuzzArguments args("quenlar", data, size);
  QuenlarCommandLine line;
  const bool ok = ParseQuenlarCommandLine(args.Argc(), args.Argv(), line);
  FuzzCheck(!ok || args.Argc() == 3 || args.Argc() == 4, "one file, or a series from an index");
  FuzzCheck(ok || args.Argc() != 3, "one file");
  if (!ok || !line.series) return 0;
  FuzzCheck(line.start >= 0, "a start index from 0");
  // quenlar counts up from the start index until a file is missing.
  for (long index = line.start; index <= static_cast<long>(line.start) + 1; ++index) {
    char name[kB16NameSize];
    if (SeriesFileName(line.input, index, name))
      FuzzCheck(strncmp(name, line.input, strlen(line.input)) == 0 && strlen(name) < kB16NameSize, "series name");
  }
  return 0;
}
