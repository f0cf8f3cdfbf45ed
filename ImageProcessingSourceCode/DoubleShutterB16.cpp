#include <climits>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

#include "ByteOrder.h"
#include "ConverterReaders.h"

namespace {

// Offsets of the header fields that are used.
constexpr long kBasicHeaderBytes = 24;     // pco .. ext_header; pixels follow without extension
constexpr long kExtendedHeaderBytes = 128; // the extension's fixed part, before the comment
constexpr int32_t kExtendedHeaderFollows = -1;

// Opens the camera file, asking for another name on standard input while it does not
// open; fnew receives the name that opened. Null when a name does not fit the working
// buffer or the input has ended.
FILE* OpenCameraFile(const char* fname, char (&fnew)[kB16NameSize]) {
  if (strlen(fname) >= kB16NameSize) {
    fprintf(stderr, "\n\nB16 file name \"%s\" is longer than %u characters ....\n\n", fname,
            kB16NameSize - 1);
    return nullptr;
  }
  strcpy(fnew, fname);
  FILE* fptr;
  while ((fptr = fopen(fnew, "rb")) == nullptr) {
    printf("\n\nCannot Open File \"%s\" enter filename > ", fnew);
    fflush(stdout);
    std::string word;
    if (!(std::cin >> word)) {
      fprintf(stderr, "\n\nNo file name given, bye ....\n\n");
      return nullptr;
    }
    if (word.size() >= kB16NameSize) {
      fprintf(stderr, "\n\nB16 file name \"%s\" is longer than %u characters ....\n\n",
              word.c_str(), kB16NameSize - 1);
      return nullptr;
    }
    strcpy(fnew, word.c_str());
  }
  return fptr;
}

bool ReadInt32s(FILE* fptr, int32_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned char bytes[4];
    if (fread(bytes, 1, sizeof bytes, fptr) != sizeof bytes) return false;
    values[i] = LittleEndian32(bytes);
  }
  return true;
}

int Refuse(FILE* fptr, const char* fname, const char* why) {
  fprintf(stderr, "\n\nB16 file %s %s ....\n\n", fname, why);
  fclose(fptr);
  return 0;
}

}  // namespace

int ReadDoubleShutterB16Image(const char* fname, uint16_t** image1, uint16_t** image2, int* BWMIN,
                              int* BWMAX, int* nx, int* ny) {
  *BWMIN = 0;
  *BWMAX = 4096;
  *image1 = nullptr;
  *image2 = nullptr;
  char fnew[kB16NameSize];
  FILE* fptr = OpenCameraFile(fname, fnew);
  if (fptr == nullptr) return 0;

  // pco, file_size, header_length, image_width, image_height, ext_header
  int32_t basic[6];
  if (!ReadInt32s(fptr, basic, 6)) return Refuse(fptr, fnew, "is shorter than its header");
  const int32_t header_length = basic[2], image_width = basic[3], image_height = basic[4];
  long pixel_start = kBasicHeaderBytes;
  if (basic[5] == kExtendedHeaderFollows) {
    // color_mode, BWMin, BWMax, BWLinLog, the six colour levels, ColLinLog
    int32_t extended[11];
    if (!ReadInt32s(fptr, extended, 11)) return Refuse(fptr, fnew, "is shorter than its header");
    if (header_length < kExtendedHeaderBytes)
      return Refuse(fptr, fnew, "gives a header length below 128 bytes");
    *BWMIN = extended[1];
    *BWMAX = extended[2];
    pixel_start = header_length;  // the comment up to here is not used
  }
  // The frame holds both exposures, so it needs at least two rows.
  if (image_width <= 0 || image_height < 2)
    return Refuse(fptr, fnew, "gives a non-positive width or a height below 2 rows");

  const long long frame_pixels = static_cast<long long>(image_width) * image_height;
  if (frame_pixels > INT_MAX) return Refuse(fptr, fnew, "gives a frame too large to convert");
  if (fseek(fptr, 0, SEEK_END) != 0) return Refuse(fptr, fnew, "cannot be searched");
  const long file_length = ftell(fptr);
  // Checked before allocating, so that a damaged header cannot ask for a huge buffer.
  if (file_length - pixel_start < 2 * frame_pixels)
    return Refuse(fptr, fnew, "is shorter than its header says");
  if (fseek(fptr, pixel_start, SEEK_SET) != 0) return Refuse(fptr, fnew, "cannot be searched");

  const size_t count = static_cast<size_t>(frame_pixels);
  uint16_t* data = new (std::nothrow) uint16_t[count];
  if (data == nullptr) return Refuse(fptr, fnew, "needs more memory than is available");
  if (fread(data, sizeof *data, count, fptr) != count) {
    delete[] data;
    return Refuse(fptr, fnew, "could not be read to its end");
  }
  fclose(fptr);
  LittleEndianToHost16(data, count);

  *nx = image_width;
  *ny = image_height / 2;
  *image1 = data;
  *image2 = data + static_cast<size_t>(*nx) * *ny;
  return *nx * *ny;
}
