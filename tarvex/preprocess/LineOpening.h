// A grey opening with flat line segments: what a segment of L pixels fits under, along the
// rows or along the columns of an image, the larger of the two kept. Structures at least L
// pixels long in one direction or the other (a glow, a band of rows, the even/odd row
// pattern of a sensor, the edge of a wall) stay whole; blobs narrower than L in both
// directions (particle images, where the particles of a few images overlap) go. It is the
// erosion (the least value over each segment) followed by the dilation (the greatest of the
// eroded values over the segments that hold a pixel).
//
// A segment must lie in the image and in the flow: one that reaches beyond the image or over
// a masked pixel does not count, and a pixel under no segment that counts (a masked one, or
// one in a pocket of flow narrower than L both ways) gets 0.
//
// Worked example, the row opening of the row 5 9 9 2 7 7 7 with L = 3: the segments centred
// on the second to the sixth pixel have the least values 5 2 2 2 7 (the first and the last
// reach beyond the row), and each pixel takes the greatest of those over the segments that
// hold it: 5 5 5 2 7 7 7. The two pixels of 9, narrower than 3, are gone; the three of 7 and
// the dip of 2 stay. With the third pixel masked only the segments centred on the fifth and
// sixth pixels count (2 and 7): 0 0 0 2 7 7 7. In a 5 x 5 image of zeros a single pixel of 9
// goes; a row of three pixels of 9 stays through the row opening, a column of three through
// the column opening.
#ifndef LINEOPENING_H
#define LINEOPENING_H

#include <cstdint>
#include <vector>

namespace tarvex {

class LineOpening {
 public:
  // Opens image (width x height values below 2^32 - 1, row after row) with segments of
  // `length` pixels (odd), into out (another buffer of the same size). flow (null: every
  // pixel is flow) holds one byte per pixel, 0 where the pixel is masked. The scratch
  // buffers are sized on the first call and kept.
  void Open(const uint32_t* image, const unsigned char* flow, int width, int height, int length,
            uint32_t* out);

 private:
  std::vector<uint32_t> eroded_;
  std::vector<uint32_t> rows_;  // the opening along the rows
};

}  // namespace tarvex

#endif
