// tarvex: parses the command line, opens the image-pair file and loads the chosen pair.
#include "PIVImage.h"
#include "ParseParameters.h"
#include "Settings.h"

int main(int argc, char** argv) {
  ParseParameters(argc, argv);
  PIVImage image(settings.filename);
  if (!image.FopenFlag) return 1;
  int i1 = 0, i2 = 0;
  if (!ReadImagePair(i1, i2)) return 1;
  image.SetFirstImg(i1);
  image.SetSecondImg(i2);
  return 0;
}
