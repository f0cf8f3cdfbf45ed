// Reads the next pair of a series from the image-pair file in the background while the
// current pair is analysed, so that selecting it later costs no wait. It only reads: the
// store that asks for the images still checks their ids and prints its messages, from the
// pixels and the count read here, exactly as if it had read them itself at that moment.
//
// Worked example: with images 1 and 2 in the store, Start(3, 4) reads images 3 and 4 on a
// thread of its own; Take(3, slot) then waits for it, swaps the buffer holding image 3 with
// the store's slot (no copy) and returns the number of pixels read; Take(5, slot) returns
// kNotRead, and the store reads image 5 itself.
#ifndef IMAGEREADAHEAD_H
#define IMAGEREADAHEAD_H

#include <cstddef>
#include <string>

#include "ImagePairFile.h"
#include "support/WorkerThreads.h"

namespace tarvex {

class ImageReadAhead {
 public:
  static constexpr size_t kNotRead = static_cast<size_t>(-1);

  ImageReadAhead() = default;
  ~ImageReadAhead();
  ImageReadAhead(const ImageReadAhead&) = delete;
  ImageReadAhead& operator=(const ImageReadAhead&) = delete;

  // Reads images first and second (ids from 1) of the file named, whose images hold
  // `pixels` values each, in the background (at once when no thread can be started); an
  // earlier read still running is waited for. False, reading nothing, when the file cannot be
  // opened, its images do not hold `pixels` values or the buffers cannot be had.
  bool Start(const char* filename, long long pixels, int first, int second);
  // Waits for the reading; when image id was read, gives *slot (a buffer of `pixels` values
  // allocated with new[]) the buffer holding it, takes the old one in exchange, and returns
  // the number of pixels read. kNotRead when id was not read ahead.
  size_t Take(int id, unsigned short*& slot);

 private:
  struct Image {
    int id = 0;
    unsigned short* pixels = nullptr;  // owned (new[]), swapped with the store's slots
    size_t read = 0;
  };

  void Wait();
  bool Reserve(long long pixels);
  // Whether the file named is open and holds images of `pixels` values.
  bool Open(const char* filename, long long pixels);
  void Release();

  ImagePairFileReader file_;
  std::string name_;
  long long pixels_ = 0;
  Image images_[2];
  BackgroundWork reader_;
};

}  // namespace tarvex

#endif
