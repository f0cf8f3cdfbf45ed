// The DPIV file reader (pivplot's and pivcompare's input) on any bytes: a file it takes
// must describe a regular grid inside the largest image, in row order.
#include <cstdint>
#include <string>

#include "DpivFile.h"
#include "FuzzInputFile.h"
#include "FuzzProcess.h"
#include "ImagePairFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  VectorField field;
  std::string error;
  if (!ReadDpivFile(file.Write(data, size), field, error)) {
    FuzzCheck(!error.empty(), "a reason for the refusal");
    return 0;
  }
  FuzzCheck(field.nx >= 1 && field.ny >= 1 &&
                static_cast<size_t>(field.nx) * static_cast<size_t>(field.ny) == field.vectors.size(),
            "grid size");
  FuzzCheck(field.x0 >= 0 && field.y0 >= 0 && field.delx >= 0 && field.dely >= 0, "grid origin and spacing");
  const VectorRecord& last = field.vectors.back();
  FuzzCheck(last.x < kMaxImageSide && last.y < kMaxImageSide, "grid inside the largest image");
  FuzzCheck((field.nx > 1) == (field.delx > 0) && (field.ny > 1) == (field.dely > 0), "spacing of a single row");
  FuzzCheck(field.Spacing() > 0, "arrow spacing");
  return 0;
}
