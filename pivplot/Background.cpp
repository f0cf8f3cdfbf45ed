#include "Background.h"

#include <algorithm>
#include <cmath>

#include "PIVImage.h"

unsigned char StretchedGrey(unsigned p, unsigned lo, unsigned hi) {
  if (hi <= lo) return 0;
  return static_cast<unsigned char>(std::lround(255.0 * (p - lo) / (hi - lo)));
}

std::unique_ptr<Raster> LoadBackground(const std::string& path, int id, std::string& error) {
  if (id < 1) {
    error = "image ids start at 1";
    return nullptr;
  }
  // Both slots hold the same image: only one is drawn.
  PIVImage store(id, id, path.c_str());
  if (!store.FopenFlag) {
    error = "cannot read the image-pair file " + path;
    return nullptr;
  }
  if (id > store.NumberImages()) {
    error = path + " holds " + std::to_string(store.NumberImages()) + " image(s), so no image " + std::to_string(id);
    return nullptr;
  }
  const int w = store.Width(), h = store.Height();
  const size_t n = static_cast<size_t>(w) * h;
  if (store.I1 == nullptr || n == 0) {
    error = "cannot hold the images of " + path;
    return nullptr;
  }
  const auto [lo, hi] = std::minmax_element(store.I1, store.I1 + n);
  auto raster = std::make_unique<Raster>(w, h);
  if (!raster->Ok()) {
    error = "cannot hold the image of " + path;
    return nullptr;
  }
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const unsigned char grey = StretchedGrey(store.I1[static_cast<size_t>(y) * w + x], *lo, *hi);
      raster->Set(x, y, {grey, grey, grey});
    }
  return raster;
}
