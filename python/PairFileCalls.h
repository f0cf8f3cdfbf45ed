// The image-pair file read into memory and written from it, for the Python module, with the
// messages tarvex's image store gives for a file it cannot use.
//
// Worked example: a file of 4 images of 3 x 2 px read with ids {3, 4} gives an ImageStack of
// count 2, width 3, height 2 and 12 counts: images 3 and 4, row after row.
#ifndef PYTHON_PAIRFILECALLS_H
#define PYTHON_PAIRFILECALLS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ImageArrays.h"

namespace tarvex {

// count images of width x height counts, one after another, row after row.
struct ImageStack {
  int count = 0;
  int width = 0;
  int height = 0;
  std::vector<uint16_t> pixels;
};

// The images with the given ids (from 1; none when ids is empty), or every image without ids.
// Throws FileError for a file that cannot be opened or read, std::invalid_argument for an id
// it does not hold.
ImageStack ReadImageStack(const std::string& path, const std::optional<std::vector<int>>& ids);

// Writes the images as an image-pair file: at least one, all of one size, as ImagesFromObject
// hands them over. Throws FileError when the file cannot be written (a partly written file
// is removed).
void WriteImageStack(const std::string& path, const std::vector<Image16>& images);

}  // namespace tarvex

#endif
