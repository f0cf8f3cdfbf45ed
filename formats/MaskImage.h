// A mask: one byte per image pixel, row after row with row 0 first (the order of the rows in
// the image-pair file, y the row index as the analysis counts it), 1 where there is flow and
// 0 where there is none (a wall, a model, its shadow).
//
// Worked example: a 4 x 3 mask whose last row is a wall holds the bytes
//   1 1 1 1 / 1 1 1 1 / 0 0 0 0
// Flow(3, 1) is true, Flow(0, 2) false, byte 2 * 4 + 1 = 9 is pixel (1, 2), and
// MaskedCount() is 4.
#ifndef FORMATS_MASKIMAGE_H
#define FORMATS_MASKIMAGE_H

#include <cstddef>
#include <vector>

class MaskImage {
 public:
  MaskImage() = default;
  // A mask of width x height pixels, all of them flow.
  MaskImage(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Pixel (x, y) inside the mask: x the column, y the row.
  bool Flow(int x, int y) const { return bytes_[Index(x, y)] != 0; }
  void Set(int x, int y, bool flow) { bytes_[Index(x, y)] = flow ? 1 : 0; }
  // The width bytes of row y, for readers that fill a row at a time.
  unsigned char* Row(int y) { return &bytes_[Index(0, y)]; }
  // All width * height bytes, row after row.
  const std::vector<unsigned char>& Bytes() const { return bytes_; }
  // The number of pixels without flow.
  long long MaskedCount() const;

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

  int width_ = 0;
  int height_ = 0;
  std::vector<unsigned char> bytes_;
};

#endif
