// The mask as the analysis uses it: which pixels hold flow, how many masked pixels any
// window covers (a table of running counts, so the question costs four look-ups whatever
// the window's size), and which grid points are masked.
//
// A point at DPIV position (x, y) with a window of nx x ny pixels covers the columns
// x - nx/2 + 1 .. x + nx/2 (likewise rows). Its centre pixels are the middle column(s)
// and row(s) of that window: columns x and x + 1 for an even nx, column x + 1 for an odd
// one. The point is masked when any of its centre pixels is masked, or when less than a
// quarter of its window holds flow.
//
// Worked example: a 32 x 32 point at (15, 15) covers columns and rows 0 to 31 and has the
// centre pixels (15, 15), (16, 15), (15, 16) and (16, 16). Masking only pixel (16, 16)
// masks it. Masking instead all of its window but the 16 x 16 pixels of columns and rows
// 8 to 23 (the centre among them) leaves 256 flow pixels, a quarter of 1024: it is
// measured. Masking (8, 8) too leaves 255: it is masked.
#ifndef FLOWMASK_H
#define FLOWMASK_H

#include <cstdint>
#include <vector>

#include "MaskImage.h"

namespace tarvex {

class FlowMask {
 public:
  // Takes the mask over; its size must be the images'.
  explicit FlowMask(MaskImage mask);
  FlowMask(const FlowMask&) = delete;
  FlowMask& operator=(const FlowMask&) = delete;

  int Width() const { return mask_.Width(); }
  int Height() const { return mask_.Height(); }
  // The mask's bytes, row after row: 1 flow, 0 none.
  const unsigned char* Bytes() const { return mask_.Bytes().data(); }

  // The masked pixels among the nx x ny pixels from (left, top), counting only those
  // that lie in the image.
  long long MaskedIn(int left, int top, int nx, int ny) const;
  // Whether the point at DPIV position (x, y) with an nx x ny window is masked (see above).
  bool PointMasked(int x, int y, int nx, int ny) const;

 private:
  // Running count of masked pixels above and left of (x, y), x and y from 0 to the sides.
  uint32_t Count(int x, int y) const { return counts_[static_cast<size_t>(y) * (Width() + 1) + x]; }

  MaskImage mask_;
  std::vector<uint32_t> counts_;  // (Width() + 1) x (Height() + 1)
};

}  // namespace tarvex

#endif
