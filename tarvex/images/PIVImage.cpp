#include "images/PIVImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tarvex {

namespace {

// A new slot buffer of `pixels` values, or null (with the allocation message) when it
// cannot be had; negative or oversized counts count as failed allocations.
unsigned short* NewSlot(long long pixels, int slot, Console& console) {
  unsigned short* buffer = nullptr;
  if (pixels >= 0 && pixels <= kMaxImagePixels)
    buffer = new (std::nothrow) unsigned short[static_cast<size_t>(pixels)];
  if (buffer == nullptr)
    console.Printf("\n\n Can't assign %ld bytes of memory for image %d ...\n\n", static_cast<long>(2 * pixels),
                   slot);
  return buffer;
}

void CopyName(char* dest, const char* src) { snprintf(dest, 200, "%s", src); }

}  // namespace

PIVImage::PIVImage() { init(128, 128); }

PIVImage::PIVImage(int w, int h) { init(w, h); }

PIVImage::PIVImage(const char* filename) : PIVImage(filename, StandardOutput()) {}

PIVImage::PIVImage(const char* filename, Console& console_) : console(&console_) {
  init(0, 0);
  NoImgFiles = 0;
  if (!ReadPIVImageFileHeader(filename)) return;
  _1 = 1;
  _2 = NoImgFiles < 2 ? 1 : 2;
  Read2ImagesFromFile(false);
}

PIVImage::PIVImage(int I1, int I2, const char* filename) {
  init(0, 0);
  NoImgFiles = 0;
  ReadPIVImageFileHeader(filename);
  if (I1 >= 1 && I2 >= 1 && NoImgFiles >= I1 && NoImgFiles >= I2) {
    _1 = static_cast<unsigned short>(I1);
    _2 = static_cast<unsigned short>(I2);
    Read2ImagesFromFile(false);
  } else {
    console->Printf("\n\nThis file only contains %d images,\n\trequest for images %d + %d failed ...", NoImgFiles, I1, I2);
  }
}

PIVImage::PIVImage(int w, int h, int noofimages, const char* filename) {
  init(0, 0);
  NoImgFiles = 0;
  // Sides outside 1..kMaxImageSide would be read back as a reversed header or not at all.
  if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide || noofimages < 0) {
    console->ErrorPrintf("PIVImage: cannot create %s: %d x %d px, %d images is not a valid image-pair file\n",
            filename, w, h, noofimages);
    return;
  }
  init(w, h);
  CopyName(fname, filename);
  if (I1 == nullptr) {
    FreeSlots();
    NoImgFiles = 0;
    return;
  }
  memset(I1, 0, sizeof(unsigned short) * static_cast<size_t>(size));
  FILE* out = fopen(filename, "wb");
  if (out == nullptr) {
    console->ErrorPrintf("PIVImage: cannot create image file %s\n", filename);
    FreeSlots();
    NoImgFiles = 0;
    return;
  }
  const unsigned char header[4] = {static_cast<unsigned char>(w & 0xff), static_cast<unsigned char>(w >> 8),
                                   static_cast<unsigned char>(h & 0xff), static_cast<unsigned char>(h >> 8)};
  bool written = fwrite(header, 1, 4, out) == 4;
  for (int k = 0; written && k < noofimages; ++k)
    written = fwrite(I1, sizeof(unsigned short), static_cast<size_t>(size), out) == static_cast<size_t>(size);
  written = (fclose(out) == 0) && written;
  if (!written) {
    console->ErrorPrintf("PIVImage: cannot write image file %s\n", filename);
    FreeSlots();
    NoImgFiles = 0;
    return;
  }
  NoImgFiles = noofimages;
  _1 = 1;
  _2 = 2;
  if (!ReadPIVImageFileHeader(filename)) {
    console->Printf("\n\n Problem reading file %s .... BYE ....\n\n", filename);
    return;
  }
  Read2ImagesFromFile(false);
}

PIVImage::~PIVImage() { FreeSlots(); }

void PIVImage::init(int w, int h) {
  fname[0] = '\0';
  file.Close();
  NoImgFiles = 2;
  _1 = 1;
  _2 = 2;
  nx = w;
  ny = h;
  size = ImagePixelCount(w, h);
  FopenFlag = false;
  pairLoaded = false;
  I1 = nullptr;
  I2 = nullptr;
  if (w == 0 && h == 0) return;
  const long long pixels = static_cast<long long>(w) * h;
  I1 = NewSlot(pixels, 1, *console);
  I2 = NewSlot(pixels, 2, *console);
}

void PIVImage::FreeSlots() {
  delete[] I1;
  delete[] I2;
  I1 = nullptr;
  I2 = nullptr;
}

void PIVImage::LoadPair(const unsigned short* first, const unsigned short* second) {
  if (I1 == nullptr || I2 == nullptr) return;
  std::copy(first, first + size, I1);
  std::copy(second, second + size, I2);
  pairLoaded = true;
}

bool PIVImage::SetFirstImg(int id) { return SelectImage(1, id); }

bool PIVImage::SetSecondImg(int id) { return SelectImage(2, id); }

bool PIVImage::SelectImage(int slot, int id) {
  // Ids are kept in 16 bits: a larger one would be stored wrapped and read another image.
  constexpr int kMaxImageId = 65535;
  if (id <= 0 || id > NoImgFiles || id > kMaxImageId) {
    if (id > kMaxImageId && id <= NoImgFiles) {
      console->ErrorPrintf("Image %d cannot be selected: image ids above %d are not supported.\n", id,
              kMaxImageId);
    }
    console->Print(slot == 1 ? "\nError 1st Image out of Range .... \n" : "\nError 2nd Image out of Range .... \n");
    return false;
  }
  (slot == 1 ? _1 : _2) = static_cast<unsigned short>(id);
  return ReadImagefromFile(slot);
}

bool PIVImage::ReadPIVImageFileHeader(const char* filename) {
  // Whatever the store held goes: the new file decides the buffer size.
  FopenFlag = false;
  pairLoaded = false;
  readAhead.reset();
  FreeSlots();
  NoImgFiles = 0;
  nx = ny = 0;
  size = 0;
  CopyName(fname, filename);

  const ImagePairFileReader::Status status = file.Open(filename);
  if (file.Header().swapped) console->Print("\n\nbytes are probably reversed ....\n try swapping bytes ....\n\n");
  switch (status) {
    case ImagePairFileReader::Status::Ok:
      break;
    case ImagePairFileReader::Status::CannotOpen:
      console->Printf("\n Cannot open PIV image file %s ....\n\n", filename);
      return false;
    case ImagePairFileReader::Status::ShortHeader:
      console->ErrorPrintf("PIVImage: %s is shorter than the 4-byte image-pair file header\n", filename);
      return false;
    case ImagePairFileReader::Status::EmptyImage:
      console->ErrorPrintf("PIVImage: %s declares an image of %u x %u px; no images can be read\n", filename,
              file.Header().width, file.Header().height);
      return false;
    case ImagePairFileReader::Status::TooLarge:
      console->ErrorPrintf("PIVImage: %s declares images of %u x %u px, too large for this reader\n", filename,
              file.Header().width, file.Header().height);
      return false;
  }
  nx = file.Width();
  ny = file.Height();
  size = file.PixelsPerImage();
  NoImgFiles = file.NumberImages();
  console->Print(ImageFileSummary(NoImgFiles, nx, ny, 2LL * size).c_str());

  I1 = NewSlot(size, 1, *console);
  I2 = NewSlot(size, 2, *console);
  FopenFlag = true;
  return true;
}

void PIVImage::ReadAhead(int first, int second) {
  if (!FopenFlag) return;
  if (!readAhead) readAhead = std::make_unique<ImageReadAhead>();
  readAhead->Start(fname, size, first, second);
}

bool PIVImage::ReadImageIntoSlot(int id, unsigned short*& slot, bool report) {
  if (!file.IsOpen() || slot == nullptr) {
    console->ErrorPrintf("PIVImage: cannot read image %d: %s\n", id,
            !file.IsOpen() ? "no image-pair file is open" : "the slot has no buffer");
    return false;
  }
  size_t read = readAhead ? readAhead->Take(id, slot) : ImageReadAhead::kNotRead;
  if (read == ImageReadAhead::kNotRead) read = file.ReadImage(id, slot);
  if (read < static_cast<size_t>(size)) {
    console->Printf("\nProblem occured reading PIV image %d,\n\t only read %d px out of %ld px .....\n\n", id,
           static_cast<int>(read), static_cast<long>(size));
    return false;
  }
  if (report) console->Printf("Read PIV Image %d -> %d px\n", id, static_cast<int>(read));
  return true;
}

bool PIVImage::Read2ImagesFromFile(bool desc) {
  return ReadImageIntoSlot(_1, I1, desc) && ReadImageIntoSlot(_2, I2, desc);
}

bool PIVImage::ReadImagefromFile(int imgid) {
  if (imgid == 1) return ReadImageIntoSlot(_1, I1, true);
  if (imgid == 2) return ReadImageIntoSlot(_2, I2, true);
  return true;
}

bool PIVImage::UpDataMemOfImages(int nx_, int ny_) {
  FreeSlots();
  pairLoaded = false;
  readAhead.reset();
  nx = nx_;
  ny = ny_;
  size = ImagePixelCount(nx_, ny_);
  const long long pixels = static_cast<long long>(nx_) * ny_;
  I1 = NewSlot(pixels, 1, *console);
  if (I1 == nullptr) return false;
  I2 = NewSlot(pixels, 2, *console);
  return I2 != nullptr;
}

}  // namespace tarvex
