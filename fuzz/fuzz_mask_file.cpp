// The mask file reader (tarvex -mask, pivplot --mask) on any bytes, whichever kind they look
// like (PNG, TIFF or image-pair file): a mask it takes has a size within the image limits
// and holds only the bytes 0 and 1.
#include <cstdint>
#include <string>

#include "FuzzInputFile.h"
#include "FuzzProcess.h"
#include "ImagePairFile.h"
#include "MaskFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  MaskImage mask;
  MaskFileKind kind;
  std::string error;
  if (!ReadMaskFile(file.Write(data, size), mask, kind, error)) {
    FuzzCheck(!error.empty(), "a reason for the refusal");
    return 0;
  }
  FuzzCheck(mask.Width() > 0 && mask.Height() > 0 && mask.Width() <= kMaxImageSide &&
                mask.Height() <= kMaxImageSide,
            "an accepted mask has a size within the image limits");
  FuzzCheck(mask.Bytes().size() == static_cast<size_t>(mask.Width()) * static_cast<size_t>(mask.Height()),
            "an accepted mask holds a byte per pixel");
  for (unsigned char b : mask.Bytes()) FuzzCheck(b <= 1, "a mask holds 0 (no flow) and 1 (flow) only");
  return 0;
}
