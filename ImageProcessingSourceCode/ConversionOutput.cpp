#include <cstdio>
#include <iostream>

#include "ConverterReaders.h"

bool OpenOutput(ImagePairFileWriter& writer, const char* output) {
  if (writer.Open(output)) return true;
  printf("\n\nProblem opening output file ....\n\n");
  return false;
}

bool StartConversion(const char* what, const char* output, ImagePairFileWriter& writer) {
  std::cout << "\nConverting " << what << std::endl;
  std::cout << "\nWriting out file \"" << output << "\"" << std::endl;
  return OpenOutput(writer, output);
}
