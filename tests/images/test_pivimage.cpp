// The image store over image-pair files the tests write themselves, and as a plain buffer pair.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "images/PIVImage.h"

namespace tarvex {

namespace {

using Image = std::vector<uint16_t>;

// Image k of a w x h file: distinct pixel values per image and position.
Image MakeImage(int w, int h, int k) {
  Image img(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint16_t>(1000 * k + i);
  return img;
}

std::vector<Image> MakeImages(int w, int h, int n) {
  std::vector<Image> images;
  for (int k = 1; k <= n; ++k) images.push_back(MakeImage(w, h, k));
  return images;
}

Image Slot(const unsigned short* slot, size_t n) { return Image(slot, slot + n); }

std::string HeaderReport(int n, int w, int h) {
  char buf[256];
  snprintf(buf, sizeof buf,
           "\n\nNumber of PIV Images          = %d\nSize of Images                = %d px x %d px\n"
           "Memory Size of each PIV Image = %d bytes\n",
           n, w, h, 2 * w * h);
  return buf;
}

// Captures what a piece of code prints on standard output and standard error.
struct Console {
  std::string out, err;
};

template <typename F>
Console Capture(F&& f) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  f();
  fflush(stdout);
  Console c;
  c.err = testing::internal::GetCapturedStderr();
  c.out = testing::internal::GetCapturedStdout();
  return c;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

class PIVImageFile : public testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.file("run.b16");
};

TEST_F(PIVImageFile, CountsWholeImagesAndLoadsFirstPair) {
  WriteImagePairFile(path, 8, 4, MakeImages(8, 4, 3));
  WriteFile(path, ReadFile(path) + std::string(10, '\x7f'));  // a partial fourth image
  PIVImage* store = nullptr;
  Console c = Capture([&] { store = new PIVImage(path.c_str()); });
  EXPECT_EQ(c.out, HeaderReport(3, 8, 4));
  EXPECT_EQ(c.err, "");
  EXPECT_TRUE(store->FopenFlag);
  EXPECT_EQ(store->NumberImages(), 3);
  EXPECT_EQ(store->Width(), 8);
  EXPECT_EQ(store->Height(), 4);
  EXPECT_STREQ(store->FileName(), path.c_str());
  EXPECT_EQ(store->_1, 1);
  EXPECT_EQ(store->_2, 2);
  EXPECT_EQ(Slot(store->I1, 32), MakeImage(8, 4, 1));
  EXPECT_EQ(Slot(store->I2, 32), MakeImage(8, 4, 2));
  delete store;
}

TEST_F(PIVImageFile, OneImageFileLoadsItIntoBothSlots) {
  WriteImagePairFile(path, 5, 3, MakeImages(5, 3, 1));
  Console c;
  c = Capture([&] {
    PIVImage store(path.c_str());
    EXPECT_EQ(store.NumberImages(), 1);
    EXPECT_EQ(store._1, 1);
    EXPECT_EQ(store._2, 1);
    EXPECT_EQ(Slot(store.I1, 15), MakeImage(5, 3, 1));
    EXPECT_EQ(Slot(store.I2, 15), MakeImage(5, 3, 1));
  });
  EXPECT_EQ(c.out, HeaderReport(1, 5, 3));
}

TEST_F(PIVImageFile, HeaderOnlyFileReportsShortRead) {
  WriteImagePairFile(path, 8, 4, {});
  Console c = Capture([&] {
    PIVImage store(path.c_str());
    EXPECT_EQ(store.NumberImages(), 0);
    EXPECT_TRUE(store.FopenFlag);
  });
  EXPECT_EQ(c.out, HeaderReport(0, 8, 4) +
                       "\nProblem occured reading PIV image 1,\n\t only read 0 px out of 32 px .....\n\n");
}

TEST_F(PIVImageFile, PartialImageIsReadShortWhenSelected) {
  WriteImagePairFile(path, 8, 4, MakeImages(8, 4, 2));
  WriteFile(path, ReadFile(path) + std::string(10, '\0'));
  Console c = Capture([&] {
    PIVImage store(path.c_str());
    // Image 3 is not counted, so it cannot be selected.
    EXPECT_FALSE(store.SetFirstImg(3));
    EXPECT_EQ(store._1, 1);
  });
  EXPECT_EQ(c.out, HeaderReport(2, 8, 4) + "\nError 1st Image out of Range .... \n");
}

TEST_F(PIVImageFile, SlotSelectionRangeAndContents) {
  WriteImagePairFile(path, 4, 2, MakeImages(4, 2, 4));
  PIVImage* store = nullptr;
  Capture([&] { store = new PIVImage(path.c_str()); });

  Console c = Capture([&] {
    EXPECT_FALSE(store->SetFirstImg(0));
    EXPECT_FALSE(store->SetFirstImg(5));
    EXPECT_FALSE(store->SetSecondImg(0));
    EXPECT_FALSE(store->SetSecondImg(5));
  });
  EXPECT_EQ(c.out,
            "\nError 1st Image out of Range .... \n\nError 1st Image out of Range .... \n"
            "\nError 2nd Image out of Range .... \n\nError 2nd Image out of Range .... \n");
  EXPECT_EQ(store->_1, 1);
  EXPECT_EQ(store->_2, 2);
  EXPECT_EQ(Slot(store->I1, 8), MakeImage(4, 2, 1));
  EXPECT_EQ(Slot(store->I2, 8), MakeImage(4, 2, 2));

  c = Capture([&] {
    EXPECT_TRUE(store->SetFirstImg(4));
    EXPECT_TRUE(store->SetSecondImg(3));
  });
  EXPECT_EQ(c.out, "Read PIV Image 4 -> 8 px\nRead PIV Image 3 -> 8 px\n");
  EXPECT_EQ(store->_1, 4);
  EXPECT_EQ(store->_2, 3);
  EXPECT_EQ(Slot(store->I1, 8), MakeImage(4, 2, 4));
  EXPECT_EQ(Slot(store->I2, 8), MakeImage(4, 2, 3));

  // No caching: the same image in both slots is read twice.
  c = Capture([&] { EXPECT_TRUE(store->SetSecondImg(4)); });
  EXPECT_EQ(c.out, "Read PIV Image 4 -> 8 px\n");
  EXPECT_EQ(Slot(store->I2, 8), MakeImage(4, 2, 4));

  c = Capture([&] { EXPECT_TRUE(store->Read2ImagesFromFile(true)); });
  EXPECT_EQ(c.out, "Read PIV Image 4 -> 8 px\nRead PIV Image 4 -> 8 px\n");
  delete store;
}

TEST_F(PIVImageFile, PairConstructor) {
  WriteImagePairFile(path, 4, 2, MakeImages(4, 2, 3));
  Console c = Capture([&] {
    PIVImage store(3, 1, path.c_str());
    EXPECT_EQ(store._1, 3);
    EXPECT_EQ(store._2, 1);
    EXPECT_EQ(Slot(store.I1, 8), MakeImage(4, 2, 3));
    EXPECT_EQ(Slot(store.I2, 8), MakeImage(4, 2, 1));
  });
  EXPECT_EQ(c.out, HeaderReport(3, 4, 2));

  for (auto pair : {std::pair<int, int>{2, 4}, {4, 1}, {0, 1}}) {
    c = Capture([&] { PIVImage store(pair.first, pair.second, path.c_str()); });
    char expected[200];
    snprintf(expected, sizeof expected, "\n\nThis file only contains 3 images,\n\trequest for images %d + %d failed ...",
             pair.first, pair.second);
    EXPECT_EQ(c.out, HeaderReport(3, 4, 2) + expected);  // and nothing read
  }
}

TEST_F(PIVImageFile, ReversedHeaderWithLowByteZeroReadsSmallWithoutWarning) {
  struct Case {
    int side;
    int reads;
  } cases[] = {{256, 1}, {512, 2}, {1024, 4}};
  for (const Case& k : cases) {
    // Width and height stored big-endian: high byte first.
    WriteFile(path, Bytes({k.side >> 8, k.side & 0xff, k.side >> 8, k.side & 0xff}) + std::string(64, '\0'));
    Console c = Capture([&] {
      PIVImage store(path.c_str());
      EXPECT_EQ(store.Width(), k.reads);
      EXPECT_EQ(store.Height(), k.reads);
    });
    // No warning: the header report is all that is printed.
    EXPECT_EQ(c.out, HeaderReport(64 / (2 * k.reads * k.reads), k.reads, k.reads)) << k.side;
  }
}

TEST_F(PIVImageFile, WidthLimitIs5000) {
  WriteImagePairFile(path, 5000, 1, MakeImages(5000, 1, 1));
  Console c = Capture([&] {
    PIVImage store(path.c_str());
    EXPECT_EQ(store.Width(), 5000);
    EXPECT_EQ(store.NumberImages(), 1);
  });
  EXPECT_EQ(c.out, HeaderReport(1, 5000, 1));

  // 6000 = 0x1770 is taken as reversed: both values swap, 6000 -> 0x7017 = 28695, 1 -> 0x0100
  // = 256. A side above 5000 in both byte orders is refused, no buffer reserved for it.
  WriteImagePairFile(path, 6000, 1, MakeImages(6000, 1, 1));
  c = Capture([&] {
    PIVImage store(path.c_str());
    EXPECT_FALSE(store.FopenFlag);
    EXPECT_EQ(store.I1, nullptr);
    EXPECT_EQ(store.NumberImages(), 0);
  });
  EXPECT_EQ(c.out, "\n\nbytes are probably reversed ....\n try swapping bytes ....\n\n");
  EXPECT_EQ(c.err, "PIVImage: " + path + " declares images of 28695 x 256 px, too large for this reader\n");
}

TEST_F(PIVImageFile, HeaderAbove5000InBothByteOrdersReservesNothing) {
  // 7F 7F read either way is 32639: taken at its word, 4 bytes would ask for two slots of
  // 2 GiB each. 10 FF / FF FF reverses to 4351 x 65535, still too tall.
  for (const std::string& header : {Bytes({0x7f, 0x7f, 0x7f, 0x7f}), Bytes({0x10, 0xff, 0xff, 0xff})}) {
    WriteFile(path, header + std::string(64, 'a'));
    Console c = Capture([&] {
      PIVImage store(path.c_str());
      EXPECT_FALSE(store.FopenFlag);
      EXPECT_EQ(store.I1, nullptr);
      EXPECT_EQ(store.I2, nullptr);
    });
    EXPECT_NE(c.err.find("too large for this reader"), std::string::npos) << c.err;
    EXPECT_EQ(c.out.find("Number of PIV Images"), std::string::npos);
  }
}

TEST_F(PIVImageFile, PixelsReadAsStoredAfterReversedHeader) {
  // Header bytes 00 20 / 00 01 read little-endian as 8192 x 256: reversed to 32 x 1.
  std::string bytes = Bytes({0x00, 0x20, 0x00, 0x01});
  for (int i = 0; i < 64; ++i) bytes += Bytes({0x34, 0x12 + i % 2});  // pixels 0x1234 and 0x1334
  WriteFile(path, bytes);
  Console c = Capture([&] {
    PIVImage store(path.c_str());
    ASSERT_EQ(store.Width(), 32);
    ASSERT_EQ(store.Height(), 1);
    EXPECT_EQ(store.NumberImages(), 2);
    EXPECT_EQ(store.I1[0], 0x1234);
    EXPECT_EQ(store.I1[1], 0x1334);
    EXPECT_EQ(store.I2[31], 0x1334);
  });
  EXPECT_NE(c.out.find("bytes are probably reversed"), std::string::npos);
}

TEST_F(PIVImageFile, UnusableFilesLeaveStoreEmpty) {
  const std::string missing = dir.file("missing.b16");
  Console c = Capture([&] {
    PIVImage store(missing.c_str());
    EXPECT_FALSE(store.FopenFlag);
    EXPECT_EQ(store.I1, nullptr);
    EXPECT_EQ(store.I2, nullptr);
    EXPECT_EQ(store.NumberImages(), 0);
  });
  EXPECT_EQ(c.out, "\n Cannot open PIV image file " + missing + " ....\n\n");

  const std::string broken[] = {"", Bytes({8}), Bytes({8, 0, 4}), Bytes({0, 0, 4, 0}) + std::string(64, 'a'),
                                Bytes({8, 0, 0, 0}) + std::string(64, 'a')};
  for (const std::string& content : broken) {
    WriteFile(path, content);
    c = Capture([&] {
      PIVImage store(path.c_str());
      EXPECT_FALSE(store.FopenFlag);
      EXPECT_EQ(store.I1, nullptr);
      EXPECT_EQ(store.I2, nullptr);
      EXPECT_EQ(store.NumberImages(), 0);
      EXPECT_FALSE(store.SetFirstImg(1));
      EXPECT_FALSE(store.Read2ImagesFromFile(true));
    });
    EXPECT_NE(c.err, "") << "no message for a file of " << content.size() << " bytes";
    EXPECT_EQ(c.out.find("Number of PIV Images"), std::string::npos);
  }
}

TEST_F(PIVImageFile, ReadingAnotherHeaderReplacesFileAndBuffers) {
  WriteImagePairFile(path, 4, 2, MakeImages(4, 2, 2));
  const std::string other = dir.file("other.b16");
  WriteImagePairFile(other, 16, 8, MakeImages(16, 8, 3));
  Capture([&] {
    PIVImage store(path.c_str());
    EXPECT_TRUE(store.ReadPIVImageFileHeader(other.c_str()));
    EXPECT_EQ(store.NumberImages(), 3);
    EXPECT_EQ(store.Width(), 16);
    EXPECT_TRUE(store.SetFirstImg(3));
    EXPECT_EQ(Slot(store.I1, 128), MakeImage(16, 8, 3));
  });
}

TEST(PIVImageBuffers, ConstructorsWithoutFile) {
  PIVImage standard;
  EXPECT_EQ(standard.Width(), 128);
  EXPECT_EQ(standard.Height(), 128);
  EXPECT_EQ(standard.NumberImages(), 2);
  EXPECT_FALSE(standard.FopenFlag);
  ASSERT_NE(standard.I1, nullptr);
  ASSERT_NE(standard.I2, nullptr);
  standard.I1[128 * 128 - 1] = 7;
  standard.I2[128 * 128 - 1] = 7;

  PIVImage none(0, 0);
  EXPECT_EQ(none.I1, nullptr);
  EXPECT_EQ(none.I2, nullptr);
  EXPECT_EQ(none.NumberImages(), 2);
  EXPECT_STREQ(none.FileName(), "");
}

TEST(PIVImageBuffers, UpDataMemOfImagesResizes) {
  PIVImage store(4, 4);
  EXPECT_TRUE(store.UpDataMemOfImages(32, 16));
  EXPECT_EQ(store.Width(), 32);
  EXPECT_EQ(store.Height(), 16);
  ASSERT_NE(store.I1, nullptr);
  ASSERT_NE(store.I2, nullptr);
  for (int i = 0; i < 32 * 16; ++i) store.I1[i] = store.I2[i] = static_cast<unsigned short>(i);
  EXPECT_TRUE(store.UpDataMemOfImages(2, 2));
  EXPECT_EQ(store.Width(), 2);

  Console c = Capture([&] { EXPECT_FALSE(store.UpDataMemOfImages(-4, 4)); });
  EXPECT_EQ(c.out, "\n\n Can't assign -32 bytes of memory for image 1 ...\n\n");
  EXPECT_EQ(store.I1, nullptr);
  EXPECT_EQ(store.I2, nullptr);
}

TEST(PIVImageBuffers, ReadingWithoutFileTouchesNothing) {
  PIVImage store(4, 4);
  store.I1[0] = 11;
  store.I2[0] = 22;
  Console c = Capture([&] {
    EXPECT_FALSE(store.Read2ImagesFromFile(true));
    store.SetFirstImg(1);
  });
  EXPECT_EQ(store.I1[0], 11);
  EXPECT_EQ(store.I2[0], 22);
  EXPECT_NE(c.err, "");
  EXPECT_EQ(c.out.find("Read PIV Image"), std::string::npos);
}

TEST_F(PIVImageFile, CreatingConstructorWritesBlankImages) {
  Console c = Capture([&] {
    PIVImage store(6, 3, 4, path.c_str());
    EXPECT_TRUE(store.FopenFlag);
    EXPECT_EQ(store.NumberImages(), 4);
    EXPECT_EQ(Slot(store.I1, 18), Image(18, 0));
    EXPECT_EQ(Slot(store.I2, 18), Image(18, 0));
  });
  EXPECT_EQ(c.out, HeaderReport(4, 6, 3));
  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 4u + 4 * 2 * 18);
  EXPECT_EQ(bytes.substr(0, 4), Bytes({6, 0, 3, 0}));
  EXPECT_EQ(bytes.substr(4), std::string(4 * 2 * 18, '\0'));
}

TEST_F(PIVImageFile, CreatingConstructorRefusesWhatItCannotWrite) {
  const std::string unwritable = dir.file("no-such-dir/run.b16");
  Console c = Capture([&] {
    PIVImage store(6, 3, 2, unwritable.c_str());
    EXPECT_FALSE(store.FopenFlag);
    EXPECT_EQ(store.I1, nullptr);
    EXPECT_EQ(store.I2, nullptr);
    EXPECT_EQ(store.NumberImages(), 0);
  });
  EXPECT_NE(c.err.find(unwritable), std::string::npos);
  EXPECT_EQ(c.out, "");

  for (auto size : {std::pair<int, int>{0, 3}, {6, 0}, {5001, 1}, {-1, 4}}) {
    c = Capture([&] {
      PIVImage store(size.first, size.second, 1, path.c_str());
      EXPECT_FALSE(store.FopenFlag);
    });
    EXPECT_NE(c.err, "");
    EXPECT_FALSE(FileExists(path));
  }
}

}  // namespace

namespace {

TEST(PIVImageIds, BeyondSixteenBitsAreRefusedNotWrapped) {
  // 65537 images of one pixel each, pixel value = image id modulo 65536.
  TempDir dir;
  const std::string path = dir.file("long.b16");
  std::vector<Image> images;
  for (int k = 1; k <= 65537; ++k) images.push_back(Image{static_cast<uint16_t>(k)});
  WriteImagePairFile(path, 1, 1, images);
  Console c = Capture([&] {
    PIVImage store(path.c_str());
    ASSERT_EQ(store.NumberImages(), 65537);
    EXPECT_TRUE(store.SetFirstImg(65535));
    EXPECT_EQ(store.I1[0], 65535);
    EXPECT_FALSE(store.SetFirstImg(65537));
    EXPECT_FALSE(store.SetSecondImg(65536));
    // The slots still hold what they held: nothing was read through a wrapped id.
    EXPECT_EQ(store._1, 65535);
    EXPECT_EQ(store.I1[0], 65535);
    EXPECT_EQ(store._2, 2);
    EXPECT_EQ(store.I2[0], 2);
  });
  EXPECT_NE(c.out.find("\nError 1st Image out of Range .... \n"), std::string::npos);
  EXPECT_NE(c.out.find("\nError 2nd Image out of Range .... \n"), std::string::npos);
  EXPECT_NE(c.err.find("ids above 65535"), std::string::npos);
}

}  // namespace

}  // namespace tarvex
