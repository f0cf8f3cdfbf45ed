#include "MaskSamples.h"

namespace {

std::string Pixel(size_t x, int y) { return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

}  // namespace

bool SamplesToFlow(const std::vector<uint32_t>& samples, const SampleLayout& layout, int x0, int y,
                   unsigned char* flow, std::string& error) {
  const size_t channels = static_cast<size_t>(layout.channels);
  const bool colour = channels >= 3, alpha = channels == 2 || channels == 4;
  const size_t width = samples.size() / channels;
  for (size_t x = 0; x < width; ++x) {
    const uint32_t* s = &samples[x * channels];
    if (colour && (s[1] != s[0] || s[2] != s[0])) {
      error = Pixel(x0 + x, y) + " is coloured (" + std::to_string(s[0]) + ", " + std::to_string(s[1]) + ", " +
              std::to_string(s[2]) + "): a mask must be greyscale";
      return false;
    }
    if (alpha && s[channels - 1] != layout.opaque) {
      error = Pixel(x0 + x, y) + " is not opaque (alpha " + std::to_string(s[channels - 1]) + " of " +
              std::to_string(layout.opaque) + "): a mask must be opaque";
      return false;
    }
    flow[x] = s[0] != 0 ? 1 : 0;
  }
  return true;
}
