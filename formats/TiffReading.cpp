#include "TiffReading.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The most libtiff may allocate at once for one strip or tile of a damaged file.
constexpr tmsize_t kLargestAllocation = 256 * 1024 * 1024;

// Returning 0 lets libtiff print the message as it would without these handlers.
int OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  static_cast<TiffReading*>(user)->Note(module, format, args, true);
  return 0;
}
int OnWarning(TIFF*, void* user, const char* module, const char* format, va_list args) {
  static_cast<TiffReading*>(user)->Note(module, format, args, false);
  return 0;
}
int Silence(TIFF*, void*, const char*, const char*, va_list) { return 1; }
int NoteQuietly(TIFF* tif, void* user, const char* module, const char* format, va_list args) {
  OnError(tif, user, module, format, args);
  return 1;
}

}  // namespace

TiffReading::TiffReading(const std::string& path, Messages messages) : messages_(messages) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return;
  const bool quiet = messages == Messages::Quiet;
  TIFFOpenOptionsSetErrorHandlerExtR(options, quiet ? NoteQuietly : OnError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options, quiet ? Silence : OnWarning, this);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kLargestAllocation);
  tif_ = TIFFOpenExt(path.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
}

TiffReading::~TiffReading() {
  if (tif_ != nullptr) TIFFClose(tif_);
}

void TiffReading::ForgetProblems() {
  problems_ = 0;
  first_.clear();
}

void TiffReading::Note(const char* module, const char* format, va_list args, bool error) {
  // The one warning that means lost samples: PackBits data that decode to more than the strip.
  if (!error && (messages_ == Messages::Quiet || module == nullptr || std::strcmp(module, "PackBitsDecode") != 0))
    return;
  if (problems_++ > 0) return;
  char message[256];
  va_list copy;
  va_copy(copy, args);
  std::vsnprintf(message, sizeof message, format, copy);
  va_end(copy);
  first_ = message;
}

namespace {

bool ReadStrips(TIFF* tif, uint32_t width, uint32_t height, size_t needed, const PixelRun& run, std::string& error) {
  std::vector<unsigned char> row(static_cast<size_t>(std::max<tmsize_t>(TIFFScanlineSize(tif), 0)));
  if (row.size() < needed) {
    error = "damaged TIFF file: its rows are shorter than its size";
    return false;
  }
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif, row.data(), y, 0) < 0) return false;
    if (!run(row.data(), width, 0, y)) return false;
  }
  return true;
}

bool ReadTiles(TIFF* tif, uint32_t width, uint32_t height, int samples, int bits, const PixelRun& run,
               std::string& error) {
  uint32_t tile_width = 0, tile_height = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tile_width);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &tile_height);
  const tmsize_t tile_bytes = TIFFTileSize(tif), row_bytes = TIFFTileRowSize(tif);
  const size_t needed = (static_cast<size_t>(tile_width) * samples * bits + 7) / 8;
  if (tile_width == 0 || tile_height == 0 || tile_bytes <= 0 || row_bytes <= 0 ||
      static_cast<size_t>(row_bytes) < needed || tile_bytes / row_bytes < static_cast<tmsize_t>(tile_height)) {
    error = "damaged TIFF file: its tiles do not match their size";
    return false;
  }
  std::vector<unsigned char> tile(static_cast<size_t>(tile_bytes));
  for (uint32_t ty = 0; ty < height; ty += tile_height)
    for (uint32_t tx = 0; tx < width; tx += tile_width) {
      if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0) return false;
      const uint32_t columns = std::min(tile_width, width - tx);
      const uint32_t rows = std::min(tile_height, height - ty);
      for (uint32_t r = 0; r < rows; ++r)
        if (!run(&tile[static_cast<size_t>(r) * row_bytes], columns, tx, ty + r)) return false;
    }
  return true;
}

}  // namespace

bool ReadPixelRuns(TIFF* tif, uint32_t width, uint32_t height, int samples, int bits, const PixelRun& run,
                   std::string& error) {
  if (TIFFIsTiled(tif)) return ReadTiles(tif, width, height, samples, bits, run, error);
  return ReadStrips(tif, width, height, (static_cast<size_t>(width) * samples * bits + 7) / 8, run, error);
}

bool IsTiffSignature(const unsigned char* bytes, size_t count) {
  if (count < 4) return false;
  const bool little = bytes[0] == 'I' && bytes[1] == 'I' && (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
  const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
  return little || big;
}
