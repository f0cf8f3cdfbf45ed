#include <cstring>
#include <new>

#include "ConverterReaders.h"
#include "ImagePairFile.h"

EightBitImageFile::~EightBitImageFile() {
  delete[] I1;
  if (fptr != nullptr) fclose(fptr);
}

bool SetEightBitFileName(EightBitImageFile* DatFile, const char* name) {
  if (strlen(name) >= sizeof DatFile->fname) {
    fprintf(stderr, "\n\nFile name \"%s\" is longer than %u characters ....\n\n", name,
            kEightBitNameSize - 1);
    return false;
  }
  strcpy(DatFile->fname, name);
  return true;
}

// Refuses the header: closes the file so that the record holds nothing.
static bool RefuseHeader(EightBitImageFile* DatFile, const char* why) {
  fprintf(stderr, "\n\n8 bit image file %s %s ....\n\n", DatFile->fname, why);
  fclose(DatFile->fptr);
  DatFile->fptr = nullptr;
  return false;
}

bool Read8BitDatImageFileHeader(EightBitImageFile* DatFile) {
  if (DatFile->fptr != nullptr) fclose(DatFile->fptr);
  DatFile->fptr = fopen(DatFile->fname, "rb");
  if (DatFile->fptr == nullptr) {
    printf("\n Cannot open PIV image file %s ....\n\n", DatFile->fname);
    return false;
  }
  unsigned char header[4];
  if (fread(header, 1, sizeof header, DatFile->fptr) != sizeof header)
    return RefuseHeader(DatFile, "is shorter than its 4-byte header");
  const ImageHeader decoded = DecodeImageHeader(header);
  if (decoded.swapped) printf("\n\nbytes are probably reversed ....\n try swapping bytes ....\n\n");
  const unsigned width = decoded.width;
  const unsigned height = decoded.height;
  // Checked after the byte-order test: neither order may give an empty image or one too
  // large for the image-pair file the converter writes.
  if (width == 0 || height == 0)
    return RefuseHeader(DatFile, "has a zero width or height");
  if (width > static_cast<unsigned>(kMaxImageSide) || height > static_cast<unsigned>(kMaxImageSide))
    return RefuseHeader(DatFile, "has a width or height above 5000 px in either byte order");

  DatFile->nx = static_cast<uint16_t>(width);
  DatFile->ny = static_cast<uint16_t>(height);
  DatFile->size = static_cast<int32_t>(width * height);
  DatFile->ImageStart = static_cast<int32_t>(ftell(DatFile->fptr));
  if (fseek(DatFile->fptr, 0, SEEK_END) != 0) return RefuseHeader(DatFile, "cannot be searched");
  const long end = ftell(DatFile->fptr);
  DatFile->NoImgFiles = static_cast<int>((end - DatFile->ImageStart) / DatFile->size);

  fputs(ImageFileSummary(DatFile->NoImgFiles, DatFile->nx, DatFile->ny, DatFile->size).c_str(), stdout);

  if (fseek(DatFile->fptr, DatFile->ImageStart, SEEK_SET) != 0)
    return RefuseHeader(DatFile, "cannot be searched");
  delete[] DatFile->I1;
  DatFile->I1 = new (std::nothrow) unsigned char[DatFile->size];
  if (DatFile->I1 == nullptr)
    printf("\n\n Can't assign %ld bytes of memory for I1 ...\n\n", static_cast<long>(DatFile->size));
  return true;
}
