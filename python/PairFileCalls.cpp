#include "PairFileCalls.h"

#include <stdexcept>

#include "FileError.h"
#include "ImagePairFile.h"

namespace tarvex {

namespace {

std::string HeaderSize(const ImagePairFileReader& reader) {
  return std::to_string(reader.Header().width) + " x " + std::to_string(reader.Header().height) + " px";
}

void Open(ImagePairFileReader& reader, const std::string& path) {
  switch (reader.Open(path.c_str())) {
    case ImagePairFileReader::Status::Ok:
      return;
    case ImagePairFileReader::Status::CannotOpen:
      throw FileError("Cannot open PIV image file " + path);
    case ImagePairFileReader::Status::ShortHeader:
      throw FileError(path + " is shorter than the 4-byte image-pair file header");
    case ImagePairFileReader::Status::EmptyImage:
      throw FileError(path + " declares an image of " + HeaderSize(reader) + "; no images can be read");
    case ImagePairFileReader::Status::TooLarge:
      throw FileError(path + " declares images of " + HeaderSize(reader) + ", too large for this reader");
  }
}

}  // namespace

ImageStack ReadImageStack(const std::string& path, const std::optional<std::vector<int>>& ids) {
  ImagePairFileReader reader;
  Open(reader, path);
  std::vector<int> wanted;
  if (ids.has_value())
    wanted = *ids;
  else
    for (int id = 1; id <= reader.NumberImages(); ++id) wanted.push_back(id);
  for (int id : wanted)
    if (id < 1 || id > reader.NumberImages())
      throw std::invalid_argument(path + " only contains " + std::to_string(reader.NumberImages()) +
                                  " images; image " + std::to_string(id) + " does not exist");
  ImageStack stack;
  stack.count = static_cast<int>(wanted.size());
  stack.width = reader.Width();
  stack.height = reader.Height();
  const size_t perImage = static_cast<size_t>(reader.PixelsPerImage());
  stack.pixels.resize(perImage * wanted.size());
  for (size_t k = 0; k < wanted.size(); ++k)
    if (reader.ReadImage(wanted[k], stack.pixels.data() + k * perImage) != perImage)
      throw FileError("Cannot read image " + std::to_string(wanted[k]) + " of " + path);
  return stack;
}

void WriteImageStack(const std::string& path, const std::vector<Image16>& images) {
  const int width = images.front().width, height = images.front().height;
  ImagePairFileWriter writer;
  bool written = writer.Open(path);
  if (!written) throw FileError(writer.Error());
  written = writer.WriteHeader(width, height);
  for (size_t k = 0; written && k < images.size(); ++k)
    written = writer.WriteImage(images[k].pixels.data(), images[k].pixels.size());
  // A writer that is not closed leaves nothing behind.
  if (!written || !writer.Close()) throw FileError(writer.Error());
}

}  // namespace tarvex
