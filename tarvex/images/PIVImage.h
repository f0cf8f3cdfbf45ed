// The image store: two slots of 16-bit pixels, either filled from an image-pair file
// or used as a plain pair of buffers (the windows of an interrogation point).
//
// Worked example: PIVImage(3, 2) has two slots of 3 * 2 = 6 pixels, row after row, so pixel
// (column 2, row 1) is I1[1 * 3 + 2] = I1[5]. They hold nothing to analyse (HoldsImages() is
// false) until LoadPair copies a pair in or a file's images are read. Opened on an image-pair
// file of 3 images, the store reads images 1 and 2; SetSecondImg(3) puts image 3 in slot 2,
// and SetSecondImg(4) is refused ("Error 2nd Image out of Range") with both slots unchanged.
#ifndef PIVIMAGE_H
#define PIVIMAGE_H

#include <cstddef>
#include <cstdint>

#include <memory>

#include "ImagePairFile.h"
#include "images/ImageReadAhead.h"
#include "support/Console.h"

namespace tarvex {

class PIVImage {
 public:
  unsigned short _1;   // id of the image in slot 1 (from 1)
  unsigned short _2;   // id of the image in slot 2
  unsigned short* I1;  // slot 1 pixels, row-major
  unsigned short* I2;  // slot 2 pixels
  bool FopenFlag;      // a file is open and its header has been read

  PIVImage();
  PIVImage(int w, int h);
  explicit PIVImage(const char* filename);
  // The same, with the store's messages going to console (kept by the caller).
  PIVImage(const char* filename, Console& console);
  PIVImage(int I1, int I2, const char* filename);
  PIVImage(int w, int h, int noofimages, const char* filename);
  ~PIVImage();
  PIVImage(const PIVImage&) = delete;
  PIVImage& operator=(const PIVImage&) = delete;

  void init(int w, int h);
  int Width() const { return nx; }
  int Height() const { return ny; }
  int NumberImages() const { return NoImgFiles; }
  char* FileName() { return fname; }

  // Copies a pair of Width() x Height() images held in memory into the slots, for callers
  // that have no image-pair file; the store then holds images as if it had read them.
  void LoadPair(const unsigned short* first, const unsigned short* second);
  // Whether the slots hold images to analyse: read from a file or loaded from memory.
  bool HoldsImages() const { return (FopenFlag || pairLoaded) && I1 != nullptr && I2 != nullptr; }

  // Read image id into slot 1 (2); false when it is out of range or cannot be read whole,
  // after the store's message (the slot then holds no complete image).
  bool SetFirstImg(int id);
  bool SetSecondImg(int id);
  // Starts reading images first and second in the background (a series reading ahead);
  // selecting them later then takes them from there, with the same messages and outcome as
  // reading them at that moment. Does nothing without a file.
  void ReadAhead(int first, int second);
  bool ReadPIVImageFileHeader(const char* filename);
  bool Read2ImagesFromFile(bool desc);
  bool UpDataMemOfImages(int nx, int ny);

 private:
  char fname[200];
  int nx;
  int ny;
  int32_t size;
  int NoImgFiles;
  ImagePairFileReader file;
  Console* console = &StandardOutput();  // borrowed
  bool pairLoaded = false;
  std::unique_ptr<ImageReadAhead> readAhead;  // made by the first ReadAhead

  bool ReadImagefromFile(int imgid);
  bool SelectImage(int slot, int id);
  bool ReadImageIntoSlot(int id, unsigned short*& slot, bool report);
  void FreeSlots();
};

}  // namespace tarvex

#endif
