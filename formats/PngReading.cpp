#include "PngReading.h"

namespace {

// libpng reports an error by calling OnPngError, which must not return: it keeps the
// message and jumps back to the setjmp of the step in progress. The steps hold plain data
// only, as nothing between the two may need destroying.
void OnPngError(png_structp png, png_const_charp message) {
  PngErrorText* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

// A warning (an unknown chunk, a questionable gamma) changes no sample.
void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

PngReading::PngReading() {
  png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error_, OnPngError, OnPngWarning);
  if (png_ != nullptr) info_ = png_create_info_struct(png_);
}

PngReading::~PngReading() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }

bool PngReading::ReadHeader(FILE* file) {
  if (setjmp(png_jmpbuf(png_))) return false;
  png_init_io(png_, file);
  png_read_info(png_, info_);
  return true;
}

png_uint_32 PngReading::Width() const { return png_get_image_width(png_, info_); }

png_uint_32 PngReading::Height() const { return png_get_image_height(png_, info_); }

bool PngReading::Decode(void (*transforms)(png_structp, png_infop), PngRows* rows) {
  if (setjmp(png_jmpbuf(png_))) return false;
  if (transforms != nullptr) transforms(png_, info_);
  png_set_interlace_handling(png_);
  png_read_update_info(png_, info_);
  rows->channels = png_get_channels(png_, info_);
  rows->depth = png_get_bit_depth(png_, info_);
  rows->row_bytes = png_get_rowbytes(png_, info_);
  return true;
}

bool PngReading::ReadImage(png_bytepp rows) {
  if (setjmp(png_jmpbuf(png_))) return false;
  png_read_image(png_, rows);
  png_read_end(png_, nullptr);
  return true;
}

bool IsPngSignature(const unsigned char* bytes, size_t count) {
  return count >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}
