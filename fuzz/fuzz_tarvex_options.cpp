// tarvex's option scan on any command line (arguments separated by NUL bytes). Settings it
// accepts keep the driver's loops finite and the names within their buffers.
#include <cstdint>
#include <cstring>

#include "FuzzArguments.h"
#include "FuzzProcess.h"
#include "ParseParameters.h"
#include "preprocess/BoxHighPass.h"

using namespace tarvex;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments args("tarvex", data, size);
  TarvexSettings s;
  if (!ParseOptions(args.Argc(), args.Argv(), s)) return 0;
  FuzzCheck(s.fftx > 0 && s.ffty > 0 && s.Delx > 0 && s.Dely > 0, "window size and spacing");
  FuzzCheck(s.inc > 0 && s.stride > 0, "series steps");
  FuzzCheck(s.threads >= 0 && s.threads <= 1024, "thread count");
  FuzzCheck(strlen(s.filename) < kNameLength && strlen(s.sname) < kNameLength && strlen(s.background) < kNameLength,
            "names within their buffers");
  FuzzCheck(s.highpass == 0 || UsableHighPassSize(s.highpass), "-highpass an odd size from 3 to 999");
  FuzzCheck(strcmp(s.filename, args.Argv()[args.Argc() - 1]) == 0, "the last argument names the file");
  FuzzCheck(!s.meansub || s.subpix == SubPixelEstimator::Gauss3, "-meansub only with -subpix gauss3");
  return 0;
}
