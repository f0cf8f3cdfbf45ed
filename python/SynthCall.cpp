#include "SynthCall.h"

#include <stdexcept>

#include "Synthesis.h"

namespace tarvex {

SynthImages SynthesizeImages(const SynthSettings& settings) {
  SynthImages result;
  TruthRecordParser parser(result.truth);
  for (const auto& setting : settings)
    if (!parser.Apply(setting.first, setting.second)) throw std::invalid_argument(parser.Error());
  if (!parser.Finish()) throw std::invalid_argument(parser.Error());

  const TruthRecord& t = result.truth;
  result.particlesPerPair = ParticlesPerPair(t);
  ImageStack& stack = result.images;
  stack.count = 2 * t.pairs;
  stack.width = t.width;
  stack.height = t.height;
  stack.pixels.reserve(static_cast<size_t>(stack.count) * static_cast<size_t>(t.width) * static_cast<size_t>(t.height));
  RenderImages(t, [&stack](const std::vector<uint16_t>& image) {
    stack.pixels.insert(stack.pixels.end(), image.begin(), image.end());
    return true;
  });
  return result;
}

}  // namespace tarvex
