// The image read-ahead: it hands over the images it read, and it never reads images of one
// size into buffers of another, however often it is started on a file of the wrong size.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TestSupport.h"
#include "images/ImageReadAhead.h"

namespace tarvex {

namespace {

// Image k of a file: pixel i holds 100 k + i.
std::vector<uint16_t> Image(int pixels, int k) {
  std::vector<uint16_t> image(static_cast<size_t>(pixels));
  for (int i = 0; i < pixels; i++) image[static_cast<size_t>(i)] = static_cast<uint16_t>(100 * k + i);
  return image;
}

}  // namespace

TEST(ImageReadAhead, HandsOverTheImagesItRead) {
  TempDir dir;
  const std::string name = dir.file("run.b16");
  WriteImagePairFile(name, 4, 2, {Image(8, 1), Image(8, 2), Image(8, 3)});
  ImageReadAhead ahead;
  ASSERT_TRUE(ahead.Start(name.c_str(), 8, 2, 3));
  unsigned short* slot = new unsigned short[8]();
  EXPECT_EQ(ahead.Take(1, slot), ImageReadAhead::kNotRead);
  EXPECT_EQ(ahead.Take(3, slot), 8u);
  EXPECT_EQ(std::vector<uint16_t>(slot, slot + 8), Image(8, 3));
  EXPECT_EQ(ahead.Take(2, slot), 8u);
  EXPECT_EQ(std::vector<uint16_t>(slot, slot + 8), Image(8, 2));
  // Each image is handed over once.
  EXPECT_EQ(ahead.Take(2, slot), ImageReadAhead::kNotRead);
  delete[] slot;
}

// A file of 8 x 8 px images asked for with buffers of 4 x 4 px: every start is refused, the
// second too, when the file stays open from the first (it used to read 64 pixels into the
// 16-pixel buffers then: a heap overflow the address sanitizer reports).
TEST(ImageReadAhead, ChecksTheImageSizeOnEveryStart) {
  TempDir dir;
  const std::string name = dir.file("big.b16");
  WriteImagePairFile(name, 8, 8, {Image(64, 1), Image(64, 2)});
  ImageReadAhead ahead;
  for (int start = 0; start < 3; start++) {
    EXPECT_FALSE(ahead.Start(name.c_str(), 16, 1, 2)) << "start " << start;
    unsigned short* slot = new unsigned short[16]();
    EXPECT_EQ(ahead.Take(1, slot), ImageReadAhead::kNotRead);
    delete[] slot;
  }
  // The right size still reads.
  EXPECT_TRUE(ahead.Start(name.c_str(), 64, 1, 2));
  unsigned short* slot = new unsigned short[64]();
  EXPECT_EQ(ahead.Take(2, slot), 64u);
  EXPECT_EQ(std::vector<uint16_t>(slot, slot + 64), Image(64, 2));
  delete[] slot;
}

}  // namespace tarvex
