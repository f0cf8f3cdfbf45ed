// quenlar: turns double-shutter B16 camera files, one or a numbered series, into an
// image-pair file holding the two exposures of each camera file as consecutive images.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "ConverterCommandLines.h"
#include "ConverterReaders.h"
#include "ImagePairFile.h"

namespace {

// One camera file's frame: both exposures, nx x ny each, the second after the first.
struct CameraFrame {
  std::unique_ptr<uint16_t[]> pixels;
  int nx = 0;
  int ny = 0;
  size_t Values() const { return 2 * static_cast<size_t>(nx) * ny; }
};

// Reads one camera file into frame; returns the pixels of one exposure, 0 when refused.
int ReadCameraFrame(const char* name, CameraFrame& frame) {
  uint16_t* image1 = nullptr;
  uint16_t* image2 = nullptr;
  int bw_min = 0, bw_max = 0;  // display levels, not used for conversion
  const int pixels = ReadDoubleShutterB16Image(name, &image1, &image2, &bw_min, &bw_max, &frame.nx, &frame.ny);
  frame.pixels.reset(image1);
  return pixels;
}

int ConvertOneFile(const char* input, const char* output) {
  std::cout << "You have selected: " << std::endl;
  std::cout << "Input B16 File         = " << input << std::endl;
  std::cout << "Output B16Dat File     = " << output << std::endl;
  CameraFrame frame;
  const int pixels = ReadCameraFrame(input, frame);
  if (pixels == 0) return EXIT_FAILURE;
  printf("\nSize of each B16 image = %d px\n\n", pixels);

  ImagePairFileWriter writer;
  if (!StartConversion("12 bit B16 File -> 12 bit Dat File", output, writer)) return EXIT_FAILURE;
  const bool ok = writer.WriteHeader(frame.nx, frame.ny) && writer.WriteImage(frame.pixels.get(), frame.Values());
  return ok && writer.Close() ? EXIT_SUCCESS : OutputFailure(writer);
}

int ConvertSeries(const char* series, const char* output, int start) {
  ImagePairFileWriter writer;
  if (!OpenOutput(writer, output)) return EXIT_FAILURE;
  int width = 0, height = 0;
  for (long index = start; index <= INT_MAX; ++index) {
    // The name goes to the B16 reader, whose working name holds kB16NameSize characters.
    char name[kB16NameSize];
    if (!SeriesFileName(series, index, name)) return EXIT_FAILURE;
    FILE* probe = fopen(name, "rb");
    if (probe == nullptr) {
      std::cout << "File " << name << " Does Not Exist ... " << std::endl;
      if (index > start) return writer.Close() ? EXIT_SUCCESS : OutputFailure(writer);
      // Nothing converted: an empty output would pass for a finished one.
      fprintf(stderr, "\n\nThe series starts with a missing file, %s: nothing converted ....\n\n", name);
      return EXIT_FAILURE;
    }
    fclose(probe);

    CameraFrame frame;
    const int pixels = ReadCameraFrame(name, frame);
    if (pixels == 0) return EXIT_FAILURE;
    printf("\nSize of each B16 image in file %s = %d px", name, pixels);
    printf("\n\t12 Bit Images %dpx x %dpx", frame.nx, frame.ny);
    if (index == start) {
      width = frame.nx;
      height = frame.ny;
      if (!writer.WriteHeader(width, height)) return OutputFailure(writer);
    } else if (frame.nx != width || frame.ny != height) {
      // Appending it would put images of the wrong size under the first file's header.
      fprintf(stderr,
              "\n\nB16 file %s holds images of %d px x %d px, the series %d px x %d px; stopping, "
              "the pairs converted so far are kept ....\n\n",
              name, frame.nx, frame.ny, width, height);
      return writer.Close() ? EXIT_FAILURE : OutputFailure(writer);
    }
    std::cout << "\n\tConverting 12 bit B16 -> 12 bit DAT" << std::endl;
    std::cout << "  \tAdding 12 bit Images      -> " << output << std::endl << std::endl;
    if (!writer.WriteImage(frame.pixels.get(), frame.Values())) return OutputFailure(writer);
  }
  return writer.Close() ? EXIT_SUCCESS : OutputFailure(writer);
}

}  // namespace

int main(int argc, char* argv[]) {
  QuenlarCommandLine line;
  if (!ParseQuenlarCommandLine(argc, argv, line)) return EXIT_FAILURE;
  return line.series ? ConvertSeries(line.input, line.output, line.start) : ConvertOneFile(line.input, line.output);
}
