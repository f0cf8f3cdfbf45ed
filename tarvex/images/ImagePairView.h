// The two images of a pair as the analysis steps after the first pass read them: borrowed
// 16-bit pixels, row-major, and their common size. It owns nothing; ViewOf(store) makes one
// from the image store's slots, valid while the store keeps them.
//
// Worked example: a store holding a 256 x 128 pair gives a view of width 256, height 128 and
// 32768 pixels per image; pixel (x, y) = (3, 2) of the first image is first[2 * 256 + 3].
#pragma once

#include <cstddef>

#include "images/PIVImage.h"

namespace tarvex {

struct ImagePairView {
  const unsigned short* first = nullptr;
  const unsigned short* second = nullptr;
  int width = 0;
  int height = 0;

  size_t Pixels() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
  bool Empty() const { return first == nullptr || second == nullptr || width < 1 || height < 1; }
};

inline ImagePairView ViewOf(const PIVImage& store) { return {store.I1, store.I2, store.Width(), store.Height()}; }

}  // namespace tarvex
