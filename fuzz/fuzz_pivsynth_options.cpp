// pivsynth's command line on any arguments (separated by NUL bytes), and the seeding plan
// pivsynth works out from the settings it accepts before it draws a particle.
#include <cstdint>
#include <string>

#include "FuzzArguments.h"
#include "FuzzProcess.h"
#include "ImagePairFile.h"
#include "ParticleSeeding.h"
#include "SynthOptions.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzArguments args("pivsynth", data, size);
  SynthOptions o;
  std::string error;
  const ParseOutcome outcome = ParseOptions(args.Strings(), o, error);
  FuzzCheck((outcome == ParseOutcome::Error) == !error.empty(), "a message exactly for a refusal");
  if (outcome != ParseOutcome::Run) return 0;
  FuzzCheck(o.width >= 1 && o.width <= kMaxImageSide && o.height >= 1 && o.height <= kMaxImageSide, "image size");
  FuzzCheck(o.pairs >= 1 && 4.0 + 4.0 * o.pairs * o.width * o.height <= 2147483647.0, "file size");
  FuzzCheck(o.diameter > 0 && o.diameter <= 100 && o.density >= 0 && o.density <= 1, "particles");
  FuzzCheck(o.noise >= 0 && o.noise <= 4095 && o.field.core > 0 && !o.out.empty(), "noise, core and name");
  FuzzCheck(o.field.wavelength > 0 && o.loss >= 0 && o.loss < 1 && o.light.glow >= 0 && o.light.glow <= 4095,
            "wavelength, loss and glow");
  for (const DimRegion& d : o.light.dims) FuzzCheck(d.factor >= 0 && d.factor <= 1, "dimming factor");
  const double margin = SeedMargin(o.field, o.width, o.height, o.diameter);
  const double largest = o.width > o.height ? o.width : o.height;
  FuzzCheck(margin >= 0 && margin <= largest / 2.0 + ParticleReach(o.diameter), "seeding margin");
  const long long count = ParticleCount(o.density, SeedingArea(o.width, o.height, margin));
  FuzzCheck(count >= 0, "particle count");
  return 0;
}
