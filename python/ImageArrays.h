// Images handed in from Python as numpy arrays, turned into the 16-bit counts the analysis
// and the image-pair file hold. Values are taken as counts, never rescaled:
//   - unsigned and signed integers must lie in 0..65535 (anything else is refused, so no
//     value wraps around);
//   - floating-point values are rounded to the nearest count, halves upward (as pivsynth
//     rounds), then clamped to 0..65535; NaN is refused;
//   - booleans, complex numbers, strings and objects are refused.
//
// Worked example: np.array([[0, 255], [4095, 65535]], dtype=np.int32) becomes the counts
// 0, 255, 4095, 65535; the float image [[-3.2, 2.5], [7.49, 1e6]] becomes 0, 3, 7, 65535;
// the int16 value -1 is refused ("... holds -1 at row 0, column 0 ...").
#ifndef PYTHON_IMAGEARRAYS_H
#define PYTHON_IMAGEARRAYS_H

#include <pybind11/numpy.h>

#include <cstdint>
#include <string>
#include <vector>

#include "MaskImage.h"

namespace tarvex {

// One image: width * height counts, row after row.
struct Image16 {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> pixels;
};

// The image held by a 2-D array of rows and columns; `name` names it in the messages.
// Throws pybind11::type_error for a dtype that is not a number, std::invalid_argument for
// a wrong number of dimensions, a side outside 1..kMaxImageSide or a value that has no count.
Image16 ImageFromArray(const pybind11::array& frame, const std::string& name);

// The images of a 3-D array (image, row, column) or of a sequence of 2-D arrays, all of one
// size; `name` names them in the messages.
std::vector<Image16> ImagesFromObject(const pybind11::handle& images, const std::string& name);

// The mask held by a 2-D array of the frames' shape, rows x columns: nonzero (or True)
// where there is flow. Throws pybind11::type_error for a dtype that is not a number or a
// boolean, std::invalid_argument for another shape (naming both) or a NaN.
MaskImage MaskFromArray(const pybind11::array& mask, int width, int height);

// A new (count, height, width) uint16 array holding the images' counts.
pybind11::array_t<uint16_t> ArrayFromImages(int count, int width, int height, const std::vector<uint16_t>& pixels);

}  // namespace tarvex

#endif
