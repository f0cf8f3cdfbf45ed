// Readers shared by the converter programs: byte-order reversal, the 8-bit image file
// (dolvek) and the double-shutter B16 camera file (quenlar).
#ifndef CONVERTERREADERS_H
#define CONVERTERREADERS_H

#include <cstdint>
#include <cstdio>

#include "ImagePairFile.h"  // kMaxImageSide: converters neither produce nor accept larger sides

// Size of the 8-bit reader's file-name buffer (names of at most 199 characters).
constexpr unsigned kEightBitNameSize = 200;

// Size of the B16 reader's working name (names of at most 49 characters).
constexpr unsigned kB16NameSize = 50;

// Reverses the order of the size bytes at ptr in place and returns ptr; returns null and
// leaves the bytes alone when no temporary copy can be made.
char* ReverseBytes(char* ptr, unsigned int size);

// An open 8-bit image file. The record owns I1 and fptr and releases them when destroyed.
struct EightBitImageFile {
  char fname[kEightBitNameSize] = {};
  uint16_t nx = 0;
  uint16_t ny = 0;
  unsigned char* I1 = nullptr;  // one image, size bytes; null when it could not be allocated
  int32_t size = 0;             // bytes per image
  int32_t ImageStart = 0;       // byte offset of image 1
  int NoImgFiles = 0;
  FILE* fptr = nullptr;         // open for reading, positioned at image 1

  EightBitImageFile() = default;
  ~EightBitImageFile();
  EightBitImageFile(const EightBitImageFile&) = delete;
  EightBitImageFile& operator=(const EightBitImageFile&) = delete;
};

// Copies name into DatFile->fname; refuses (message on standard error, false) a name
// that does not fit.
bool SetEightBitFileName(EightBitImageFile* DatFile, const char* name);

// Opens DatFile->fname, reads and checks its header, counts its images and allocates I1.
// False, with a message, when the file cannot be opened or its header is unusable (short,
// zero width or height, or above kMaxImageSide in either byte order). True otherwise,
// also when I1 could not be allocated (I1 is then null).
bool Read8BitDatImageFileHeader(EightBitImageFile* DatFile);

// Reads one double-shutter B16 camera file. While fname cannot be opened, asks for another
// name on standard input. On success *image1 is a new[] buffer of both exposures that the
// caller releases with delete[]; *image2 points into it at the second exposure; *nx and *ny
// give one exposure's size and the result is nx * ny. A refused file (name too long, end of
// input at the prompt, short or malformed header, short pixel data, no memory) gives 0 with
// a message, and *image1 and *image2 null.
int ReadDoubleShutterB16Image(const char* fname, uint16_t** image1, uint16_t** image2, int* BWMIN,
                              int* BWMAX, int* nx, int* ny);

// Opens the converter's output file; on failure prints "\n\nProblem opening output file ....\n\n"
// and returns false.
bool OpenOutput(ImagePairFileWriter& writer, const char* output);

// Announces the conversion ("\nConverting <what>", "\nWriting out file \"<output>\"") and opens
// the output file as OpenOutput does.
bool StartConversion(const char* what, const char* output, ImagePairFileWriter& writer);

#endif
