// The analysis' image store on any image-pair file: reading the header and the first pair
// as tarvex does, then selecting images as typed at the pair prompt, in range and not.
#include <cstdint>
#include <string>

#include "FuzzInputFile.h"
#include "FuzzProcess.h"
#include "images/PIVImage.h"
#include "support/Console.h"

using namespace tarvex;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  std::string text;
  Console console(&text);
  PIVImage store(file.Write(data, size), console);
  if (!store.FopenFlag) return 0;
  const int images = store.NumberImages();
  FuzzCheck(store.Width() >= 1 && store.Height() >= 1 && images >= 0, "store size");
  for (int id : {images, images + 1, 1, 0, -1, 65536}) {
    const bool inside = id >= 1 && id <= images && id <= 65535;
    FuzzCheck(store.SetFirstImg(id) == inside && store.SetSecondImg(id) == inside, "image selection");
  }
  return 0;
}
