#include "Background.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ImagePairFile.h"

unsigned char StretchedGrey(unsigned p, unsigned lo, unsigned hi) {
  if (hi <= lo) return 0;
  return static_cast<unsigned char>(std::lround(255.0 * (p - lo) / (hi - lo)));
}

std::unique_ptr<Raster> LoadBackground(const std::string& path, int id, std::string& error) {
  if (id < 1) {
    error = "image ids start at 1";
    return nullptr;
  }
  ImagePairFileReader reader;
  if (reader.Open(path.c_str()) != ImagePairFileReader::Status::Ok) {
    error = "cannot read the image-pair file " + path;
    return nullptr;
  }
  const int w = reader.Width(), h = reader.Height();
  fputs(ImageFileSummary(reader.NumberImages(), w, h, 2LL * reader.PixelsPerImage()).c_str(), stdout);
  if (id > reader.NumberImages()) {
    error = path + " holds " + std::to_string(reader.NumberImages()) + " image(s), so no image " + std::to_string(id);
    return nullptr;
  }
  const size_t n = static_cast<size_t>(reader.PixelsPerImage());
  std::vector<uint16_t> pixels(n);
  if (reader.ReadImage(id, pixels.data()) < n) {
    error = "cannot read image " + std::to_string(id) + " of " + path;
    return nullptr;
  }
  const auto [lo, hi] = std::minmax_element(pixels.begin(), pixels.end());
  auto raster = std::make_unique<Raster>(w, h);
  if (!raster->Ok()) {
    error = "cannot hold the image of " + path;
    return nullptr;
  }
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const unsigned char grey = StretchedGrey(pixels[static_cast<size_t>(y) * w + x], *lo, *hi);
      raster->Set(x, y, {grey, grey, grey});
    }
  return raster;
}
