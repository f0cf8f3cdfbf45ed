#include "ImagePairFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ByteOrder.h"

int32_t ImagePixelCount(long long w, long long h) {
  if (w < 0 || h < 0 || (h > 0 && w > kMaxImagePixels / h)) return 0;
  return static_cast<int32_t>(w * h);
}

ImageHeader DecodeImageHeader(const unsigned char bytes[4]) {
  unsigned char b[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
  ImageHeader h{LittleEndian16(b), LittleEndian16(b + 2), false};
  if (h.width > static_cast<unsigned>(kMaxImageSide) || h.height > static_cast<unsigned>(kMaxImageSide)) {
    ReverseByteOrder(b, 2);
    ReverseByteOrder(b + 2, 2);
    h = {LittleEndian16(b), LittleEndian16(b + 2), true};
  }
  return h;
}

std::string ImageFileSummary(int images, int width, int height, long long imageBytes) {
  char text[200];
  snprintf(text, sizeof text,
           "\n\nNumber of PIV Images          = %d\n"
           "Size of Images                = %d px x %d px\n"
           "Memory Size of each PIV Image = %d bytes\n",
           images, width, height, static_cast<int>(imageBytes));
  return text;
}

ImagePairFileReader::Status ImagePairFileReader::Open(const char* name) {
  Close();
  header_ = {0, 0, false};
  file_ = fopen(name, "rb");
  if (file_ == nullptr) return Status::CannotOpen;
  unsigned char bytes[4];
  if (fread(bytes, 1, sizeof bytes, file_) != sizeof bytes) {
    Close();
    return Status::ShortHeader;
  }
  header_ = DecodeImageHeader(bytes);
  if (header_.width == 0 || header_.height == 0) {
    Close();
    return Status::EmptyImage;
  }
  // A side above kMaxImageSide in both byte orders is no header any program writes; taken at
  // its word, a few bytes would make the analysis reserve gigabytes for images.
  const unsigned side = static_cast<unsigned>(kMaxImageSide);
  pixels_ = header_.width > side || header_.height > side ? 0 : ImagePixelCount(header_.width, header_.height);
  if (pixels_ == 0) {
    Close();
    return Status::TooLarge;
  }
  width_ = static_cast<int>(header_.width);
  height_ = static_cast<int>(header_.height);
  long length = -1;
  if (fseek(file_, 0, SEEK_END) == 0) length = ftell(file_);
  const long imageBytes = 2L * pixels_;
  images_ = length > 4 ? static_cast<int>((length - 4) / imageBytes) : 0;
  return Status::Ok;
}

void ImagePairFileReader::Close() {
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
  width_ = height_ = 0;
  pixels_ = 0;
  images_ = 0;
}

size_t ImagePairFileReader::ReadImage(int id, uint16_t* pixels) {
  if (file_ == nullptr || id < 1) return 0;
  const long offset = 4L + (static_cast<long>(id) - 1) * 2L * pixels_;
  if (fseek(file_, offset, SEEK_SET) != 0) return 0;
  const size_t read = fread(pixels, sizeof(uint16_t), static_cast<size_t>(pixels_), file_);
  LittleEndianToHost16(pixels, read);
  return read;
}

bool ImagePairFileWriter::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool ImagePairFileWriter::Open(const std::string& name) {
  error_.clear();
  return file_.Open(name, true) || Fail(file_.Error());
}

bool ImagePairFileWriter::WriteHeader(long width, long height) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
    return Fail("images of " + std::to_string(width) + " px x " + std::to_string(height) +
                " px cannot be stored: width and height must be 1 to " + std::to_string(kMaxImageSide) + " px");
  const uint16_t header[2] = {static_cast<uint16_t>(width), static_cast<uint16_t>(height)};
  return WriteValues(header, 2);
}

bool ImagePairFileWriter::WriteImage(const uint16_t* pixels, size_t count) { return WriteValues(pixels, count); }

bool ImagePairFileWriter::WriteValues(const uint16_t* values, size_t count) {
  if (file_.Stream() == nullptr) return Fail("no open output file");
  // Encoded in blocks, low byte first, so that every host writes the same bytes.
  unsigned char block[8192];
  const size_t per_block = sizeof block / 2;
  for (size_t done = 0; done < count;) {
    const size_t n = count - done < per_block ? count - done : per_block;
    for (size_t i = 0; i < n; ++i) {
      block[2 * i] = static_cast<unsigned char>(values[done + i] & 0xff);
      block[2 * i + 1] = static_cast<unsigned char>(values[done + i] >> 8);
    }
    if (fwrite(block, 1, 2 * n, file_.Stream()) != 2 * n) {
      file_.Failed();
      file_.Discard();
      return Fail(file_.Error());
    }
    done += n;
  }
  return true;
}

bool ImagePairFileWriter::Close() {
  if (file_.Stream() == nullptr) return error_.empty();
  return file_.Commit() || Fail(file_.Error());
}

int OutputFailure(const ImagePairFileWriter& writer) {
  fflush(stdout);
  fprintf(stderr, "\n\n%s ....\n\n", writer.Error().c_str());
  return EXIT_FAILURE;
}
