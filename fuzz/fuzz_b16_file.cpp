// The double-shutter B16 camera file reader (quenlar's input) on any bytes. Standard input
// is empty, so the reader's prompt for another name cannot wait; the name always opens.
#include <cstdint>
#include <memory>

#include "ByteOrder.h"
#include "ConverterReaders.h"
#include "FuzzInputFile.h"
#include "FuzzProcess.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  uint16_t* image1 = nullptr;
  uint16_t* image2 = nullptr;
  int bw_min = 0, bw_max = 0, nx = 0, ny = 0;
  const int pixels = ReadDoubleShutterB16Image(file.Write(data, size), &image1, &image2, &bw_min, &bw_max, &nx, &ny);
  const std::unique_ptr<uint16_t[]> frame(image1);
  if (pixels == 0) {
    FuzzCheck(image1 == nullptr && image2 == nullptr, "nothing handed over on refusal");
    return 0;
  }
  FuzzCheck(nx >= 1 && ny >= 1 && pixels == nx * ny && image2 == image1 + pixels, "exposure layout");
  // The exposures are the file's values where the header says the pixels start: right
  // after the 24-byte basic header, or after an extended header of the given length.
  const size_t start = LittleEndian32(data + 20) == -1 ? static_cast<size_t>(LittleEndian32(data + 8)) : 24;
  const size_t values = 2 * static_cast<size_t>(pixels);
  FuzzCheck(start + 2 * values <= size, "frame within the file");
  for (size_t k = 0; k < values; ++k)
    FuzzCheck(image1[k] == LittleEndian16(data + start + 2 * k), "pixels as stored");
  return 0;
}
