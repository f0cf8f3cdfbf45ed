// The 8-bit image file reader (dolvek's input) on any bytes: the header, then every image
// it counts, read as dolvek reads them.
#include <cstdint>
#include <cstdio>

#include "ConverterReaders.h"
#include "FuzzInputFile.h"
#include "FuzzProcess.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  EightBitImageFile image;
  FuzzCheck(SetEightBitFileName(&image, file.Write(data, size)), "file name fits");
  if (!Read8BitDatImageFileHeader(&image)) {
    FuzzCheck(image.fptr == nullptr, "refused file closed");
    return 0;
  }
  if (image.I1 == nullptr) return 0;
  FuzzCheck(image.nx >= 1 && image.nx <= kMaxImageSide && image.ny >= 1 && image.ny <= kMaxImageSide,
            "image size");
  const size_t bytes = static_cast<size_t>(image.size);
  FuzzCheck(bytes == static_cast<size_t>(image.nx) * image.ny, "bytes per image");
  FuzzCheck(image.NoImgFiles >= 0 && 4 + bytes * static_cast<size_t>(image.NoImgFiles) <= size, "image count");
  for (int k = 1; k <= image.NoImgFiles; ++k)
    FuzzCheck(fread(image.I1, 1, bytes, image.fptr) == bytes, "every counted image reads whole");
  return 0;
}
