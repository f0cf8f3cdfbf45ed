// pralen: turns a list of TIFF images into one image-pair file, one image per TIFF file.
#include <cstdlib>
#include <iostream>

#include "ConverterCommandLines.h"
#include "ImagePairFile.h"
#include "TIFFImageReader.h"

int main(int argc, char* argv[]) {
  PralenCommandLine line;
  if (!ParsePralenCommandLine(argc, argv, line)) return EXIT_FAILURE;
  const int inputs = line.inputs;
  const char* output = line.output;

  std::cout << "You have selected: " << std::endl;
  for (int i = 1; i <= inputs; ++i) std::cout << "Input   TIFF File  = " << argv[i] << std::endl;
  std::cout << "Output  16Bit File = " << output << std::endl;

  ImagePairFileWriter writer;
  if (!writer.Open(output)) {
    std::cout << "\n\nProblem opening output file " << output << " ....\n\n" << std::endl;
    return EXIT_FAILURE;
  }
  std::cout << "\nConverting TIFF Files -> 16 bit Dat File" << std::endl;

  _16BitImage image;
  int width = 0, height = 0;
  for (int i = 1; i <= inputs; ++i) {
    if (ReadTIFFImageToB16(image, argv[i]) == 0) {
      std::cout << "\n\nProblem in ReadTIFFImageToB16, bye ..." << std::endl;
      // The images converted so far are kept.
      return writer.Close() ? EXIT_FAILURE : OutputFailure(writer);
    }
    if (i == 1) {
      width = image.nx;
      height = image.ny;
      if (!writer.WriteHeader(width, height)) return OutputFailure(writer);
    } else if (image.nx != width || image.ny != height) {
      std::cout << "\n\nProblem - TIFF Images are not same size" << std::endl;
      std::cout << "\t" << argv[1] << ": " << width << "x" << height << std::endl;
      std::cout << "\t" << argv[i] << ": " << image.nx << "x" << image.ny << std::endl;
      std::cout << " .... bye ...\n\n";
      return writer.Close() ? EXIT_FAILURE : OutputFailure(writer);
    }
    std::cout << "\nWriting out image from file \"" << argv[i] << "\"" << std::endl;
    if (!writer.WriteImage(image.data, static_cast<size_t>(width) * height)) return OutputFailure(writer);
    image.Release();
  }
  return writer.Close() ? EXIT_SUCCESS : OutputFailure(writer);
}
