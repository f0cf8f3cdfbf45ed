#include "ImageArrays.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "ImagePairFile.h"  // kMaxImageSide

namespace tarvex {

namespace py = pybind11;

namespace {

constexpr int kMaxCount16 = 65535;

std::string Position(size_t k, int width) {
  return "row " + std::to_string(k / static_cast<size_t>(width)) + ", column " +
         std::to_string(k % static_cast<size_t>(width));
}

template <typename T>
void CopyIntegers(const py::array& frame, const std::string& name, Image16& image) {
  const py::array_t<T, py::array::c_style | py::array::forcecast> values(frame);
  const T* data = values.data();
  for (size_t k = 0; k < image.pixels.size(); ++k) {
    bool inRange = data[k] <= static_cast<T>(kMaxCount16);
    if constexpr (std::is_signed_v<T>) inRange = inRange && data[k] >= 0;
    if (!inRange)
      throw std::invalid_argument(name + " holds " + std::to_string(data[k]) + " at " + Position(k, image.width) +
                                  "; integer pixels must lie in 0..65535");
    image.pixels[k] = static_cast<uint16_t>(data[k]);
  }
}

void CopyReals(const py::array& frame, const std::string& name, Image16& image) {
  const py::array_t<double, py::array::c_style | py::array::forcecast> values(frame);
  const double* data = values.data();
  for (size_t k = 0; k < image.pixels.size(); ++k) {
    if (std::isnan(data[k]))
      throw std::invalid_argument(name + " holds NaN at " + Position(k, image.width) + "; pixels must be numbers");
    const double count = std::floor(data[k] + 0.5);
    image.pixels[k] = static_cast<uint16_t>(std::min<double>(kMaxCount16, std::max(0.0, count)));
  }
}

}  // namespace

Image16 ImageFromArray(const py::array& frame, const std::string& name) {
  const char kind = frame.dtype().kind();
  if (kind != 'u' && kind != 'i' && kind != 'f')
    throw py::type_error(name + " has dtype " + py::str(frame.dtype()).cast<std::string>() +
                         "; images must be integer or floating-point arrays");
  if (frame.ndim() != 2)
    throw std::invalid_argument(name + " must be a 2-D array (rows, columns), not one of " +
                                std::to_string(frame.ndim()) + " dimensions");
  const py::ssize_t rows = frame.shape(0), columns = frame.shape(1);
  if (rows < 1 || columns < 1 || rows > kMaxImageSide || columns > kMaxImageSide)
    throw std::invalid_argument(name + " is " + std::to_string(columns) + " x " + std::to_string(rows) +
                                " px; width and height must be 1 to " + std::to_string(kMaxImageSide) + " pixels");
  Image16 image;
  image.width = static_cast<int>(columns);
  image.height = static_cast<int>(rows);
  image.pixels.resize(static_cast<size_t>(columns) * static_cast<size_t>(rows));
  if (kind == 'u')
    CopyIntegers<unsigned long long>(frame, name, image);
  else if (kind == 'i')
    CopyIntegers<long long>(frame, name, image);
  else
    CopyReals(frame, name, image);
  return image;
}

std::vector<Image16> ImagesFromObject(const py::handle& images, const std::string& name) {
  std::vector<Image16> result;
  if (py::isinstance<py::array>(images)) {
    const py::array stack = py::reinterpret_borrow<py::array>(images);
    if (stack.ndim() != 3)
      throw std::invalid_argument(name + " must be a 3-D array (image, row, column) or a sequence of 2-D arrays, not " +
                                  std::to_string(stack.ndim()) + "-D");
    for (py::ssize_t k = 0; k < stack.shape(0); ++k)
      result.push_back(ImageFromArray(py::array(stack.attr("__getitem__")(k)), name + "[" + std::to_string(k) + "]"));
  } else if (py::isinstance<py::sequence>(images) && !py::isinstance<py::str>(images)) {
    size_t k = 0;
    for (const py::handle item : images)
      result.push_back(ImageFromArray(py::array(py::reinterpret_borrow<py::object>(item)),
                                      name + "[" + std::to_string(k++) + "]"));
  } else {
    throw py::type_error(name + " must be a 3-D array or a sequence of 2-D arrays");
  }
  if (result.empty()) throw std::invalid_argument(name + " holds no image");
  for (size_t k = 1; k < result.size(); ++k)
    if (result[k].width != result[0].width || result[k].height != result[0].height)
      throw std::invalid_argument(name + "[" + std::to_string(k) + "] is " + std::to_string(result[k].width) + " x " +
                                  std::to_string(result[k].height) + " px but " + name + "[0] is " +
                                  std::to_string(result[0].width) + " x " + std::to_string(result[0].height) +
                                  " px; all images must have one size");
  return result;
}

py::array_t<uint16_t> ArrayFromImages(int count, int width, int height, const std::vector<uint16_t>& pixels) {
  py::array_t<uint16_t> stack({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(height),
                               static_cast<py::ssize_t>(width)});
  if (static_cast<size_t>(stack.size()) != pixels.size())
    throw std::logic_error("image stack of " + std::to_string(pixels.size()) + " counts is not " +
                           std::to_string(count) + " images of " + std::to_string(width) + " x " +
                           std::to_string(height) + " px");
  if (!pixels.empty()) std::memcpy(stack.mutable_data(), pixels.data(), pixels.size() * sizeof(uint16_t));
  return stack;
}

MaskImage MaskFromArray(const py::array& mask, int width, int height) {
  const char kind = mask.dtype().kind();
  if (kind != 'u' && kind != 'i' && kind != 'f' && kind != 'b')
    throw py::type_error("mask has dtype " + py::str(mask.dtype()).cast<std::string>() +
                         "; a mask must be a boolean, integer or floating-point array");
  const std::string frames = "(" + std::to_string(height) + ", " + std::to_string(width) + ")";
  std::string shape = "(";
  for (py::ssize_t d = 0; d < mask.ndim(); ++d) shape += (d > 0 ? ", " : "") + std::to_string(mask.shape(d));
  shape += mask.ndim() == 1 ? ",)" : ")";
  if (mask.ndim() != 2 || mask.shape(0) != height || mask.shape(1) != width)
    throw std::invalid_argument("mask has the shape " + shape + " but the frames have the shape " + frames);
  // NaN would be taken as flow (it is nonzero): no mask holds it.
  if (kind == 'f') {
    const py::array_t<double, py::array::c_style | py::array::forcecast> values(mask);
    for (size_t k = 0; k < static_cast<size_t>(values.size()); ++k)
      if (std::isnan(values.data()[k]))
        throw std::invalid_argument("mask holds NaN at " + Position(k, width) +
                                    "; a mask holds numbers, nonzero where there is flow");
  }
  // Nonzero is flow, whatever the type: numpy's own conversion to booleans says which.
  const py::array_t<bool, py::array::c_style | py::array::forcecast> flow(mask.attr("astype")("bool"));
  MaskImage image(width, height);
  const bool* values = flow.data();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.Set(x, y, values[static_cast<size_t>(y) * width + x]);
  return image;
}

}  // namespace tarvex
