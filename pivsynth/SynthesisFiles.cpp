// Synthesize, apart from the rendering so that callers that keep the images in memory (the
// Python module) link no image-file library.
#include <cstdio>

#include "ImagePairFile.h"
#include "MaskFile.h"
#include "MaskRegion.h"
#include "Synthesis.h"
#include "TruthFile.h"

bool Synthesize(const SynthOptions& o, std::string& summary, std::string& error) {
  const std::string truthPath = o.out + ".truth";
  const std::string maskPath = o.out + ".mask.png";
  const long long count = ParticlesPerPair(o);
  {
    ImagePairFileWriter writer;
    if (!writer.Open(o.out)) {
      error = writer.Error();
      return false;
    }
    const auto write = [&writer](const std::vector<uint16_t>& pixels) {
      return writer.WriteImage(pixels.data(), pixels.size());
    };
    // A writer that is not closed leaves no file behind.
    if (!writer.WriteHeader(o.width, o.height) || !RenderImages(o, write) || !writer.Close()) {
      error = writer.Error();
      return false;
    }
  }
  // The images without their mask or their truth are of no use.
  const bool masked = !o.masks.empty();
  long long maskedPixels = 0;
  if (masked) {
    const MaskImage mask = RasterizeMask(o.masks, o.width, o.height);
    maskedPixels = mask.MaskedCount();
    if (!WriteMaskPng(maskPath, mask, error)) {
      std::remove(o.out.c_str());
      return false;
    }
  }
  if (!WriteTextFile(truthPath, TruthText(o), error)) {
    std::remove(o.out.c_str());
    if (masked) std::remove(maskPath.c_str());
    return false;
  }
  const int images = 2 * o.pairs;
  summary = "pivsynth: wrote " + std::to_string(images) + " images of " + std::to_string(o.width) + "x" +
            std::to_string(o.height) + " px (" + std::to_string(o.pairs) + (o.pairs == 1 ? " pair, " : " pairs, ") +
            std::to_string(count) + " particles per pair, " + FieldKindName(o.field.kind) + " field) to " + o.out +
            ", truth in " + truthPath;
  if (masked)
    summary += ", mask in " + maskPath + " (" + std::to_string(maskedPixels) + " of " +
               std::to_string(static_cast<long long>(o.width) * o.height) + " pixels masked)";
  return true;
}
