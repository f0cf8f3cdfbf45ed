#include "SceneLightImages.h"

#include "MaskRegion.h"

namespace {

// The pixels of the image whose centres lie in x0 <= x <= x1, y0 <= y <= y1.
PixelSpan RectangleSpan(double x0, double y0, double x1, double y1, int width, int height) {
  return RegionSpan(RectangleRegion(x0, y0, x1, y1), width, height);
}

// Adds `level` to the pixels of the span, on every row or on the odd ones.
void AddToSpan(const PixelSpan& span, double level, bool oddRowsOnly, int width, std::vector<double>& image) {
  for (int y = span.y0; y <= span.y1; ++y) {
    if (oddRowsOnly && y % 2 == 0) continue;
    for (int x = span.x0; x <= span.x1; ++x) image[static_cast<size_t>(y) * width + x] += level;
  }
}

}  // namespace

SceneLightImages::SceneLightImages(const SceneLight& light, int width, int height) : width_(width) {
  const size_t pixels = static_cast<size_t>(width) * height;
  if (!light.dims.empty()) {
    factor_.assign(pixels, 1.0);
    for (const DimRegion& d : light.dims) {
      const PixelSpan span = RectangleSpan(d.x0, d.y0, d.x1, d.y1, width, height);
      for (int y = span.y0; y <= span.y1; ++y)
        for (int x = span.x0; x <= span.x1; ++x) factor_[static_cast<size_t>(y) * width + x] *= d.factor;
    }
  }
  if (!light.HasBackground()) return;
  background_.assign(pixels, 0.0);
  // A ramp from 0 at the first column to the glow at the last (an image one column wide has
  // only the first).
  for (int y = 0; y < height; ++y)
    for (int x = 1; x < width; ++x) background_[static_cast<size_t>(y) * width + x] = light.glow * x / (width - 1);
  for (const LightBand& b : light.bands)
    AddToSpan(RectangleSpan(0, b.y0, width - 1, b.y1, width, height), b.level, false, width, background_);
  for (const RowPattern& p : light.rowPatterns)
    AddToSpan(RectangleSpan(p.x0, p.y0, p.x1, p.y1, width, height), p.level, true, width, background_);
}

double SceneLightImages::Background(int x, int y) const {
  return background_.empty() ? 0.0 : background_[static_cast<size_t>(y) * width_ + x];
}

void SceneLightImages::Apply(IntensityImage& image) const {
  if (!factor_.empty()) image.MultiplyBy(factor_);
  if (!background_.empty()) image.Add(background_);
}
