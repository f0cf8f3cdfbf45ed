// WriteMaskPng, apart from the readers so that a program that only writes masks (pivsynth)
// links no TIFF library.
#include <cstdio>

#include "AtomicFile.h"
#include "MaskFile.h"
#include "PngMask.h"

bool WriteMaskPng(const std::string& path, const MaskImage& mask, std::string& error) {
  AtomicFile file;
  if (file.Open(path, true)) {
    std::string why;
    if (WritePngMask(file.Stream(), mask, why) || std::ferror(file.Stream())) {
      if (std::ferror(file.Stream())) file.Failed();  // a full disk: errno says why
      if (file.Commit()) return true;
    } else {
      error = "cannot write '" + path + "': " + why;
      return false;
    }
  }
  error = file.Error();
  return false;
}
