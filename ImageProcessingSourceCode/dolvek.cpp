// dolvek: turns an 8-bit image file into an image-pair file, scaling each pixel to 12 bits.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>

#include "ConverterCommandLines.h"
#include "ConverterReaders.h"
#include "ImagePairFile.h"

namespace {

// Scales the 8-bit image into the 12-bit scale: (v / 256) * 4096, exactly 16 * v.
void ScaleTo12Bit(const unsigned char* in, uint16_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint16_t>(in[i] * 16);
}

}  // namespace

int main(int argc, char* argv[]) {
  DolvekCommandLine line;
  if (!ParseDolvekCommandLine(argc, argv, line)) return EXIT_FAILURE;
  const char* input = line.input;
  const char* output = line.output;
  std::cout << "You have selected: " << std::endl;
  std::cout << "Input   8Bit File   = " << input << std::endl;
  std::cout << "Output 16Bit File   = " << output << std::endl;

  EightBitImageFile DatFile;
  if (!SetEightBitFileName(&DatFile, input)) return EXIT_FAILURE;
  if (!Read8BitDatImageFileHeader(&DatFile) || DatFile.I1 == nullptr) {
    fprintf(stderr, "\n\nNothing converted from %s ....\n\n", input);
    return EXIT_FAILURE;
  }
  const size_t size = static_cast<size_t>(DatFile.size);
  std::unique_ptr<uint16_t[]> image1(new (std::nothrow) uint16_t[size]);
  if (image1 == nullptr) {
    printf("\n\n Can't assign %ld bytes of memory for image 1 ...\n\n", static_cast<long>(DatFile.size));
    return EXIT_FAILURE;
  }
  printf("\nSize of each 8bit image = %ld bytes\n\n", static_cast<long>(DatFile.size));
  const uint16_t width = DatFile.nx, height = DatFile.ny;

  ImagePairFileWriter writer;
  if (!StartConversion("8 bit File -> 16 bit Dat File", output, writer)) return EXIT_FAILURE;
  if (!writer.WriteHeader(width, height)) return OutputFailure(writer);
  for (int k = 1; k <= DatFile.NoImgFiles; ++k) {
    if (fread(DatFile.I1, 1, size, DatFile.fptr) != size) {
      fprintf(stderr, "\n\nProblem reading image %d of %s ....\n\n", k, input);
      return EXIT_FAILURE;
    }
    ScaleTo12Bit(DatFile.I1, image1.get(), size);
    if (!writer.WriteImage(image1.get(), size)) return OutputFailure(writer);
  }
  return writer.Close() ? EXIT_SUCCESS : OutputFailure(writer);
}
